#include "db/utf8_file_name.h"

#include <algorithm>
#include <ibase.h>

std::string WithUtf8FileName(std::string paramBuffer, std::string_view dbName) {
    const bool ascii = std::all_of(dbName.begin(), dbName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        paramBuffer += static_cast<char>(isc_dpb_utf8_filename);
        paramBuffer += '\0'; // a flag: no value
    }
    return paramBuffer;
}
