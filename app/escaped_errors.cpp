#include "app/escaped_errors.h"

#include "core/error_box.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/text_codec.h"

#include <QMessageBox>

namespace {
void ShowErrorBoxText(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(ApplicationTitle(ExecutablePath())), text,
                    QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

void ShowErrorBox(QWidget* parent, const std::string& message) {
    ShowErrorBoxText(parent, FromCp1251(ErrorBoxText(message)));
}

void RunShowingErrors(QWidget* parent, const std::function<void()>& command) {
    try {
        command();
    } catch (const EAbort&) {
    } catch (const Exception& error) {
        // The full-stop rule looks at the last byte, which is the same test on UTF-8.
        if (!error.Utf8Message().empty())
            ShowErrorBoxText(parent, QString::fromStdString(ErrorBoxText(error.Utf8Message())));
        else
            ShowErrorBox(parent, error.Message());
    } catch (const std::exception& error) {
        // Not one of ours (bad_alloc and the like); an event handler must not let it loose in Qt either.
        ShowErrorBox(parent, error.what());
    }
}
