#pragma once

#include <string>
#include <vector>

// The parts of a text between separators, empty ones included ("a,,b" gives "a", "", "b"; "" gives "").
std::vector<std::string> SplitText(const std::string& text, char separator);
// ASCII letters in upper case; other bytes as they are (names in the settings are ASCII).
std::string UpperAscii(std::string text);
// Equal but for the case of ASCII letters.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);
