#pragma once

#include <string>
#include <string_view>

// The parameter buffer for an attach to dbName. A database name is a file name, held in UTF-8; one with any
// character beyond ASCII gets the item that tells the server so, which makes it look the file up by that name
// on a file system that names files in UTF-8 instead of reading the bytes in some code page. A plain ASCII
// name reads the same either way, and its buffer stays exactly as built.
std::string WithUtf8FileName(std::string paramBuffer, std::string_view dbName);
