#include "settings/ini_document.h"

#include "settings/text_parts.h"

#include <algorithm>
#include <string_view>

namespace {
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF"; // U+FEFF in UTF-8

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimmedView(std::string_view text) {
    while (!text.empty() && IsBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

// Calls lineFound for every line, split at CR LF, at a lone CR and at a lone LF.
template <class LineFound> void ForEachLine(std::string_view text, LineFound lineFound) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lineFound(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lineFound(text.substr(start));
}

std::string NormalizedKeyLine(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::string(line);
    std::string normalized(TrimmedView(line.substr(0, equals)));
    normalized += '=';
    normalized += TrimmedView(line.substr(equals + 1));
    return normalized;
}
} // namespace

std::string TIniDocument::Trimmed(const std::string& text) {
    return std::string(TrimmedView(text));
}

std::string TIniDocument::LineName(const std::string& line) {
    return line.substr(0, line.find('='));
}

std::string TIniDocument::LineValue(const std::string& line) {
    const auto equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

std::vector<std::string> TIniDocument::SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

TIniDocument TIniDocument::Parse(const std::string& bytes) {
    TIniDocument document;
    // A file saved twice with a byte-order mark by editors that each add one; the first mark was the file's
    // encoding, the others would make the first section's header unreadable.
    std::string_view text = bytes;
    while (text.starts_with(ByteOrderMark))
        text.remove_prefix(ByteOrderMark.size());
    ForEachLine(text, [&](std::string_view rawLine) {
        const std::string_view line = TrimmedView(rawLine);
        if (line.empty() || line.front() == ';')
            return;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
            document.m_sections.push_back({std::string(TrimmedView(line.substr(1, line.size() - 2))), {}});
        else if (!document.m_sections.empty())
            document.m_sections.back().Lines.push_back(NormalizedKeyLine(line));
    });
    return document;
}

std::string TIniDocument::Text() const {
    std::string text;
    for (const TIniSection& section : m_sections) {
        text += "[" + section.Name + "]\r\n";
        for (const std::string& line : section.Lines)
            text += line + "\r\n";
        text += "\r\n";
    }
    return text;
}

TIniSection* TIniDocument::FindSection(const std::string& section) {
    const auto found = std::find_if(m_sections.rbegin(), m_sections.rend(), [&](const TIniSection& s) {
        return SameTextIgnoringCase(s.Name, section);
    });
    return found == m_sections.rend() ? nullptr : &*found;
}

const TIniSection* TIniDocument::FindSection(const std::string& section) const {
    return const_cast<TIniDocument*>(this)->FindSection(section);
}

TIniSection& TIniDocument::FindOrAddSection(const std::string& section) {
    if (TIniSection* found = FindSection(section))
        return *found;
    m_sections.push_back({section, {}});
    return m_sections.back();
}

bool TIniDocument::HasSection(const std::string& section) const {
    return FindSection(section) != nullptr;
}

std::optional<std::string> TIniDocument::Value(const std::string& section, const std::string& key) const {
    const TIniSection* found = FindSection(section);
    if (!found)
        return std::nullopt;
    for (auto line = found->Lines.rbegin(); line != found->Lines.rend(); ++line) {
        if (SameTextIgnoringCase(LineName(*line), key))
            return LineValue(*line);
    }
    return std::nullopt;
}

void TIniDocument::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    TIniSection& target = FindOrAddSection(section);
    const std::string line = key + "=" + value;
    for (auto existing = target.Lines.rbegin(); existing != target.Lines.rend(); ++existing) {
        if (SameTextIgnoringCase(LineName(*existing), key)) {
            *existing = line;
            return;
        }
    }
    target.Lines.push_back(line);
}

bool TIniDocument::RemoveKey(const std::string& section, const std::string& key) {
    TIniSection* target = FindSection(section);
    if (!target)
        return false;
    return std::erase_if(target->Lines, [&](const std::string& line) {
               return SameTextIgnoringCase(LineName(line), key);
           }) > 0;
}

bool TIniDocument::RemoveSection(const std::string& section) {
    return std::erase_if(m_sections,
                         [&](const TIniSection& s) { return SameTextIgnoringCase(s.Name, section); }) > 0;
}
