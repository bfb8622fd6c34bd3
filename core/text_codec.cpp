#include "core/text_codec.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <iconv.h>
#include <unordered_map>

namespace {

// CP1251 maps each byte to one character; the table is asked of iconv once.
struct Cp1251Table {
    std::array<char32_t, 256> toUnicode{};
    std::unordered_map<char32_t, unsigned char> fromUnicode;

    Cp1251Table() {
        iconv_t cd = iconv_open("UTF-32LE", "CP1251");
        for (int byte = 0; byte < 256; ++byte) {
            char32_t code = U'?';
            if (cd != reinterpret_cast<iconv_t>(-1)) {
                char in = static_cast<char>(byte);
                unsigned char out[4] = {};
                char* inPtr = &in;
                char* outPtr = reinterpret_cast<char*>(out);
                size_t inLeft = 1;
                size_t outLeft = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && outLeft == 0)
                    code = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
                else
                    code = static_cast<char32_t>(byte); // 0x98, which the code page leaves undefined
            } else if (byte < 0x80) {
                code = static_cast<char32_t>(byte);
            }
            toUnicode[byte] = code;
            fromUnicode.emplace(code, static_cast<unsigned char>(byte));
        }
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
        fromUnicode[U'?'] = '?';
    }
};

const Cp1251Table& Table() {
    static const Cp1251Table table;
    return table;
}

} // namespace

QString FromCp1251(std::string_view bytes) {
    QString text;
    AppendFromCp1251(text, bytes);
    return text;
}

void AppendFromCp1251(QString& out, std::string_view bytes) {
    const Cp1251Table& table = Table();
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(bytes.size()));
    QChar* to = out.data() + start;
    // Every CP1251 character lies in the basic plane: one byte, one UTF-16 unit.
    for (const char c : bytes)
        *to++ = QChar(static_cast<char16_t>(table.toUnicode[static_cast<unsigned char>(c)]));
}

namespace {
// Returns false at the first character CP1251 lacks when asked to stop there; otherwise writes "?" for it.
bool EncodeCp1251(const QString& text, std::string& bytes, bool stopAtMissing) {
    const Cp1251Table& table = Table();
    bytes.reserve(static_cast<size_t>(text.size()));
    for (const char32_t code : text.toStdU32String()) {
        const auto found = table.fromUnicode.find(code);
        if (found == table.fromUnicode.end() && stopAtMissing)
            return false;
        bytes.push_back(found == table.fromUnicode.end() ? '?' : static_cast<char>(found->second));
    }
    return true;
}
} // namespace

std::string ToCp1251(const QString& text) {
    std::string bytes;
    EncodeCp1251(text, bytes, false);
    return bytes;
}

std::optional<std::string> ToCp1251Exactly(const QString& text) {
    std::string bytes;
    if (!EncodeCp1251(text, bytes, true))
        return std::nullopt;
    return bytes;
}

QString FromUtf8KeepingMark(std::string_view bytes) {
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::optional<QString> FromUtf8BeyondAscii(std::string_view bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::nullopt;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
