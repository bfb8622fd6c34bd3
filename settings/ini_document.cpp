#include "settings/ini_document.h"

#include "settings/text_parts.h"

#include <algorithm>

namespace {
bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string NormalizedKeyLine(const std::string& line) {
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return line;
    return TIniDocument::Trimmed(line.substr(0, equals)) + "=" + TIniDocument::Trimmed(line.substr(equals + 1));
}
} // namespace

std::string TIniDocument::Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && IsBlankOrControl(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool TIniDocument::SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

std::string TIniDocument::LineName(const std::string& line) { return line.substr(0, line.find('=')); }

std::vector<std::string> TIniDocument::SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

TIniDocument TIniDocument::Parse(const std::string& bytes) {
    TIniDocument document;
    for (const std::string& rawLine : SplitLines(bytes)) {
        const std::string line = Trimmed(rawLine);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            document.m_sections.push_back({Trimmed(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (!document.m_sections.empty())
            document.m_sections.back().Lines.push_back(NormalizedKeyLine(line));
    }
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
    const auto found = std::find_if(m_sections.rbegin(), m_sections.rend(),
                                    [&](const TIniSection& s) { return SameName(s.Name, section); });
    return found == m_sections.rend() ? nullptr : &*found;
}

const TIniSection* TIniDocument::FindSection(const std::string& section) const {
    return const_cast<TIniDocument*>(this)->FindSection(section);
}

bool TIniDocument::HasSection(const std::string& section) const { return FindSection(section) != nullptr; }

std::optional<std::string> TIniDocument::Value(const std::string& section, const std::string& key) const {
    const TIniSection* found = FindSection(section);
    if (!found)
        return std::nullopt;
    for (auto line = found->Lines.rbegin(); line != found->Lines.rend(); ++line) {
        if (SameName(LineName(*line), key))
            return line->size() > key.size() ? line->substr(key.size() + 1) : std::string();
    }
    return std::nullopt;
}

void TIniDocument::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    TIniSection* target = FindSection(section);
    if (!target) {
        m_sections.push_back({section, {}});
        target = &m_sections.back();
    }
    const std::string line = key + "=" + value;
    for (auto existing = target->Lines.rbegin(); existing != target->Lines.rend(); ++existing) {
        if (SameName(LineName(*existing), key)) {
            *existing = line;
            return;
        }
    }
    target->Lines.push_back(line);
}

bool TIniDocument::RemoveKey(const std::string& section, const std::string& key) {
    TIniSection* target = FindSection(section);
    if (!target)
        return false;
    return std::erase_if(target->Lines, [&](const std::string& line) { return SameName(LineName(line), key); }) > 0;
}

bool TIniDocument::RemoveSection(const std::string& section) {
    return std::erase_if(m_sections, [&](const TIniSection& s) { return SameName(s.Name, section); }) > 0;
}
