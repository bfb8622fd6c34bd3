#include "db/sql_scan.h"

#include "db/errors.h"

#include <cctype>
#include <string_view>

namespace {

bool IsOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// Separators around the first word of a statement.
constexpr std::string_view kSpaceOrQuoteOrClose = std::string_view("\t\n\r \")", 6);
constexpr std::string_view kAfterKeyword = std::string_view("\0\t\n\r \"(-/;", 10);

bool IsNameCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

char At(const std::string& text, size_t i) { return i < text.size() ? text[i] : '\0'; }

bool MatchesWord(const std::string& text, size_t at, std::string_view word) {
    if (at + word.size() > text.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i])
            return false;
    }
    return true;
}

// Position of the first word: leading blanks, quotes, parentheses, semicolons and comments skipped.
size_t FirstWordPosition(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\0' || IsOneOf(c, "\t\n\r \"(;")) {
            ++i;
        } else if (c == '-' && At(text, i + 1) == '-') {
            while (i < text.size() && text[i] != '\r' && text[i] != '\n')
                ++i;
        } else if (c == '/' && At(text, i + 1) == '*') {
            const size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 2;
        } else {
            break;
        }
    }
    return i;
}

bool KeywordAt(const std::string& text, size_t at, std::string_view keyword) {
    return MatchesWord(text, at, keyword) && IsOneOf(At(text, at + keyword.size()), kAfterKeyword);
}

bool SetGeneratorAt(const std::string& text, size_t at) {
    if (!MatchesWord(text, at, "SET"))
        return false;
    size_t i = at + 3;
    const size_t afterSet = i;
    while (i < text.size() && IsOneOf(text[i], kSpaceOrQuoteOrClose))
        ++i;
    return i > afterSet && KeywordAt(text, i, "GENERATOR");
}

// Skips a string or comment starting at i; returns the position after it, or npos when it never ends.
size_t SkipQuotedOrComment(const std::string& text, size_t i, bool& isComment) {
    const char c = text[i];
    isComment = c != '\'' && c != '"';
    if (!isComment) {
        const size_t end = text.find(c, i + 1);
        return end == std::string::npos ? end : end + 1;
    }
    if (c == '/') {
        const size_t end = text.find("*/", i + 2);
        return end == std::string::npos ? end : end + 2;
    }
    const size_t end = text.find('\r', i + 2);
    return end == std::string::npos ? text.size() : end;
}

bool OpensQuotedOrComment(const std::string& text, size_t i) {
    const char c = text[i];
    return c == '\'' || c == '"' || (c == '/' && At(text, i + 1) == '*') || (c == '-' && At(text, i + 1) == '-');
}

} // namespace

bool HasParameterMarkers(const std::string& text) {
    if (text.size() <= 1)
        return false;
    for (size_t i = 1; i < text.size();) {
        if (OpensQuotedOrComment(text, i)) {
            bool isComment = false;
            i = SkipQuotedOrComment(text, i, isComment);
            if (i == std::string::npos)
                return false;
            continue;
        }
        if (IsOneOf(text[i], ":?@"))
            return true;
        ++i;
    }
    return false;
}

bool IsDdlText(const std::string& text) {
    const size_t at = FirstWordPosition(text);
    if (at >= text.size())
        return false;
    if (at > 0 && !IsOneOf(text[at - 1], kSpaceOrQuoteOrClose))
        return false;
    for (std::string_view keyword : {"ALTER", "CREATE", "COMMENT", "DROP", "DECLARE", "RECREATE"}) {
        if (KeywordAt(text, at, keyword))
            return true;
    }
    return SetGeneratorAt(text, at);
}

TPreprocessedSql PreprocessSql(const std::string& text, const std::string& queryName) {
    TPreprocessedSql result;
    // In an EXECUTE BLOCK the colons after its AS name the block's own variables.
    const bool executeBlock = MatchesWord(text, FirstWordPosition(text), "EXECUTE");
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (OpensQuotedOrComment(text, i)) {
            bool isComment = false;
            const size_t end = SkipQuotedOrComment(text, i, isComment);
            if (end == std::string::npos)
                RaiseClientError(ceSqlParseError, queryName,
                                 isComment ? "EOF in comment detected" : "EOF in string detected");
            result.processedSql.append(text, i, end - i);
            i = end;
        } else if (executeBlock && KeywordAt(text, i, "AS") && i > 0 && !IsNameCharacter(text[i - 1])) {
            result.processedSql.append(text, i, std::string::npos);
            break;
        } else if (c == '?') {
            result.parameterNames.emplace_back();
            result.processedSql += '?';
            ++i;
        } else if (c == ':') {
            size_t end = i + 1;
            std::string name;
            if (At(text, end) == '"') {
                const size_t close = text.find('"', end + 1);
                if (close == std::string::npos)
                    RaiseClientError(ceSqlParseError, queryName, "EOF in string detected");
                name = text.substr(end + 1, close - end - 1);
                end = close + 1;
            } else {
                while (end < text.size() && IsNameCharacter(text[end]))
                    ++end;
                name = text.substr(i + 1, end - i - 1);
            }
            if (name.empty())
                RaiseClientError(ceSqlParseError, queryName, "Parameter name expected");
            result.parameterNames.push_back(name);
            result.processedSql += '?';
            i = end;
        } else {
            result.processedSql += c;
            ++i;
        }
    }
    return result;
}
