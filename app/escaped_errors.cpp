#include "app/escaped_errors.h"

#include "core/error_box.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/text_codec.h"

#include <QMessageBox>

void ShowErrorBox(QWidget* parent, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(ApplicationTitle(ExecutablePath())),
                    FromCp1251(ErrorBoxText(message)), QMessageBox::Ok, parent);
    box.exec();
}

void RunShowingErrors(QWidget* parent, const std::function<void()>& command) {
    try {
        command();
    } catch (const EAbort&) {
    } catch (const Exception& error) {
        ShowErrorBox(parent, error.Message());
    } catch (const std::exception& error) {
        // Not one of ours (bad_alloc and the like); an event handler must not let it loose in Qt either.
        ShowErrorBox(parent, error.what());
    }
}
