#pragma once

#include <cstdint>
#include <string>

// What a connection learns about its server and attachment after attaching. Nothing in the tester acts on it;
// it is kept for the character-set handling of text columns.
struct TFbAttachmentInfo {
    // Server version numbers; -1 until read.
    int32_t serverMajor = -1;
    int32_t serverMinor = -1;
    int32_t serverRelease = -1;
    int32_t serverBuild = -1;
    // Character-set flags.
    bool unicode = false;      // UNICODE_FSS or UTF8
    bool untranslated = false; // unicode, NONE or no character set
    bool koi8 = false;         // KOI8R or KOI8U (servers of major version 2 and later only)
    bool newServer = false;    // the flags come from the server's character-set id

    // Reads "LI-V3.0.11.33703 Firebird 3.0" into the four numbers; numbers not found stay -1.
    void ParseServerVersion(const std::string& versionText);
    // From the lc_ctype parameter, for servers that do not report the attachment's character set.
    void SetCharsetFlags(const std::string& lcCtype);
    // From the attachment's character-set id.
    void SetCharsetFlags(int32_t charsetId);
};

// The first counted string of a text answer of isc_database_info (item, 16-bit length, count, then length-byte
// and text per string); empty when the answer is not that item or is cut short.
std::string FirstInfoString(uint8_t item, const char* answer, size_t answerSize);
