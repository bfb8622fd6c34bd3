#pragma once

#include <string>
#include <vector>

// Client-side looks at a statement text before it goes to the server.

// Whether the text holds a parameter or macro marker (":", "?" or "@") outside strings and comments. The first
// character is never examined on its own, so a text of one character has none.
bool HasParameterMarkers(const std::string& text);

// Whether the text is DDL by its first word (ALTER, CREATE, COMMENT, DROP, DECLARE, RECREATE, SET GENERATOR);
// such texts are executed immediately and hold no parameter markers.
bool IsDdlText(const std::string& text);

struct TPreprocessedSql {
    std::string processedSql; // every parameter marker replaced by "?"
    std::vector<std::string> parameterNames; // in order; empty for a "?" marker
};

// Rewrites named markers to "?". Raises ceSqlParseError for queryName with "EOF in comment detected",
// "EOF in string detected" or "Parameter name expected".
TPreprocessedSql PreprocessSql(const std::string& text, const std::string& queryName);
