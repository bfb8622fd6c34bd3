#include "settings/text_parts.h"

#include <algorithm>

std::vector<std::string> SplitText(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

namespace {
char UpperAsciiChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
} // namespace

std::string UpperAscii(std::string text) {
    for (char& c : text)
        c = UpperAsciiChar(c);
    return text;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAsciiChar(x) == UpperAsciiChar(y);
           });
}
