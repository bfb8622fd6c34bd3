#include "app/escaped_errors.h"

#include "core/error_box.h"
#include "core/escaped_error.h"
#include "core/platform.h"
#include "core/text_codec.h"

#include <QMessageBox>

namespace {
// The box wraps its text between words only; a long one (a path) would make it wider than the screen.
QString WithBreaksInLongWords(const QString& text) {
    constexpr int kLongestUnbroken = 60;
    QString result;
    int run = 0;
    for (const QChar c : text) {
        if (c.isSpace()) {
            run = 0;
        } else if (++run > kLongestUnbroken && !c.isLowSurrogate()) {
            result += QChar(0x200B); // zero width space: a place to break, invisible
            run = 1;
        }
        result += c;
    }
    return result;
}

void ShowErrorBoxText(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(ApplicationTitle(ExecutablePath())),
                    WithBreaksInLongWords(text), QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

void ShowErrorBox(QWidget* parent, const std::string& message) {
    ShowErrorBoxText(parent, FromCp1251(ErrorBoxText(message)));
}

void RunShowingErrors(QWidget* parent, const std::function<void()>& command) {
    ShowEscapedError(parent, CatchEscapedError(command));
}

QString EscapedErrorText(const TEscapedError& escaped) {
    // The full-stop rule looks at the last byte, which is the same test on UTF-8.
    if (!escaped.utf8Message.empty())
        return QString::fromStdString(ErrorBoxText(escaped.utf8Message));
    return escaped.message ? FromCp1251(ErrorBoxText(*escaped.message)) : QString();
}

void ShowEscapedError(QWidget* parent, const TEscapedError& escaped) {
    if (escaped.message)
        ShowErrorBoxText(parent, EscapedErrorText(escaped));
}
