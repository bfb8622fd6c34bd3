#pragma once

#include <optional>
#include <string>
#include <vector>

// One section of an INI document: its name and its lines, "name=value" or a bare name.
struct TIniSection {
    std::string Name;
    std::vector<std::string> Lines;
};

// The INI file in memory: an ordered list of sections. Section and key names are compared without regard to
// case; when a name occurs more than once, the last occurrence is the one found. Text is UTF-8 and kept as
// it came, so whatever was read is written back unchanged.
class TIniDocument {
public:
    // Splits at CR LF, lone CR and lone LF; trims every line; drops leading byte-order marks, empty lines,
    // ";" comments and everything before the first section.
    static TIniDocument Parse(const std::string& bytes);
    // Every section as "[name]", its lines and one empty line, each line ending with CR LF.
    std::string Text() const;

    const std::vector<TIniSection>& Sections() const { return m_sections; }
    bool HasSection(const std::string& section) const;
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    // Replaces the key's line in place, or appends it (and the section) at the end.
    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    // Removes every line of that key in the section; false when there was none.
    bool RemoveKey(const std::string& section, const std::string& key);
    // Removes every section of that name; false when there was none.
    bool RemoveSection(const std::string& section);
    void Clear() { m_sections.clear(); }

    // The last section of that name, appended when there is none.
    TIniSection& FindOrAddSection(const std::string& section);
    // The last section of that name, or null.
    TIniSection* FindSection(const std::string& section);
    const TIniSection* FindSection(const std::string& section) const;

    // Without leading and trailing blanks and control characters.
    static std::string Trimmed(const std::string& text);
    // Lines split at CR LF, at a lone CR and at a lone LF.
    static std::vector<std::string> SplitLines(const std::string& text);
    // The text before a line's first "="; a line without one is all name.
    static std::string LineName(const std::string& line);
    // The text after a line's first "="; empty for a line without one.
    static std::string LineValue(const std::string& line);

private:
    std::vector<TIniSection> m_sections;
};
