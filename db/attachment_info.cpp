#include "db/attachment_info.h"

#include <cctype>

void TFbAttachmentInfo::ParseServerVersion(const std::string& versionText) {
    serverMajor = serverMinor = serverRelease = serverBuild = -1;
    const size_t marker = versionText.find("-V");
    if (marker == std::string::npos)
        return;
    int32_t* numbers[] = {&serverMajor, &serverMinor, &serverRelease, &serverBuild};
    size_t at = marker + 2;
    for (int32_t* number : numbers) {
        if (at >= versionText.size() || !std::isdigit(static_cast<unsigned char>(versionText[at])))
            return;
        int64_t value = 0;
        while (at < versionText.size() && std::isdigit(static_cast<unsigned char>(versionText[at])) &&
               value < INT32_MAX / 10)
            value = value * 10 + (versionText[at++] - '0');
        *number = static_cast<int32_t>(value);
        if (at >= versionText.size() || versionText[at] != '.')
            return;
        ++at;
    }
}

void TFbAttachmentInfo::SetCharsetFlags(const std::string& lcCtype) {
    std::string name = lcCtype;
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    unicode = name == "UNICODE_FSS" || name == "UTF8";
    untranslated = unicode || name.empty() || name == "NONE";
    koi8 = false;
    newServer = false;
}

void TFbAttachmentInfo::SetCharsetFlags(int32_t charsetId) {
    constexpr int32_t None = 0, UnicodeFss = 3, Utf8 = 4, Koi8R = 63, Koi8U = 64;
    unicode = charsetId == UnicodeFss || charsetId == Utf8;
    untranslated = unicode || charsetId == None;
    koi8 = charsetId == Koi8R || charsetId == Koi8U;
    newServer = true;
}

std::string FirstInfoString(uint8_t item, const char* answer, size_t answerSize) {
    if (answerSize < 5 || static_cast<uint8_t>(answer[0]) != item)
        return {};
    const size_t length = static_cast<uint8_t>(answer[4]);
    if (5 + length > answerSize)
        return {};
    return std::string(answer + 5, length);
}
