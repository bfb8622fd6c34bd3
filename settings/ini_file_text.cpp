#include "settings/ini_file_text.h"

#include "core/text_codec.h"

#include <QString>
#include <QStringDecoder>
#include <optional>
#include <string_view>

namespace {
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
}

std::optional<std::string> IniTextFromFileBytes(const QByteArray& bytes) {
    const std::string_view all(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (all.find('\0') != std::string_view::npos || all.starts_with("\xFF\xFE") || all.starts_with("\xFE\xFF"))
        return std::nullopt;
    if (all.starts_with(Utf8Mark)) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        [[maybe_unused]] const QString decoded = utf8(bytes);
        if (utf8.hasError())
            return std::nullopt;
        return std::string(all.substr(Utf8Mark.size()));
    }
    return FromCp1251(all).toStdString();
}

QByteArray IniFileBytesFromText(const std::string& text) {
    if (const std::optional<std::string> cp1251 = ToCp1251Exactly(FromUtf8KeepingMark(text)))
        return QByteArray::fromStdString(*cp1251);
    return QByteArray(Utf8Mark.data(), static_cast<qsizetype>(Utf8Mark.size())) +
           QByteArray::fromStdString(text);
}
