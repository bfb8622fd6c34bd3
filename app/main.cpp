#include "app/command_line.h"
#include "app/main_window.h"
#include "core/error_box.h"
#include "core/platform.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const auto exitCode = RespondToCommandLine(argc, argv))
        return *exitCode;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromStdString(ApplicationTitle(ExecutablePath())));
    TForm1 form;
    form.show();
    return QApplication::exec();
}
