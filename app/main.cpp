#include "app/command_line.h"
#include "app/main_window.h"
#include "core/error_box.h"
#include "core/platform.h"
#include "core/termination_signals.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const auto exitCode = RespondToCommandLine(argc, argv))
        return *exitCode;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromStdString(ApplicationTitle(ExecutablePath())));
    // A termination signal ends the program as closing its window does: the connection detaches and the
    // settings are written. Made before the window, so that it still answers while the window is destroyed.
    TTerminationSignals terminationSignals([](int) {
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    });
    TForm1 form;
    form.show();
    return QApplication::exec();
}
