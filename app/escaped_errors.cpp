#include "app/escaped_errors.h"

#include "core/error_box.h"
#include "core/escaped_error.h"
#include "core/platform.h"
#include "core/text_codec.h"

#include <QMessageBox>

void ShowErrorBox(QWidget* parent, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(ApplicationTitle(ExecutablePath())),
                    FromCp1251(ErrorBoxText(message)), QMessageBox::Ok, parent);
    box.exec();
}

void RunShowingErrors(QWidget* parent, const std::function<void()>& command) {
    if (const TEscapedError escaped = CatchEscapedError(command); escaped.message)
        ShowErrorBox(parent, *escaped.message);
}
