#pragma once

#include <string>

// The text of the box that shows an escaped error: the message, with a full stop appended when it is not empty
// and its last character sorts after "." (so one ending in "." or in a line break gets none).
std::string ErrorBoxText(const std::string& message);

// The application title, the caption of every message box: the executable's file name without directory and
// extension, capitalised, every later character in lower case ("Quorvane").
std::string ApplicationTitle(const std::string& executablePath);
