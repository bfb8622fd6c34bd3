#include "app/command_line.h"
#include "app/headless_run.h"
#include "app/main_window.h"
#include "core/error_box.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/termination_signals.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <cstdlib>

namespace {
// The program ends with its window, whatever other top-level window is still open (a statistics window, a
// box on its way), so that a close never leaves the event loop waiting.
class TQuitWithWindow : public QObject {
protected:
    // A closed window is hidden by its close; a minimized one gets a spontaneous hide from the system.
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide && !event->spontaneous())
            QCoreApplication::quit();
        return false;
    }
};

void NameTheApplication() {
    QCoreApplication::setApplicationName(QString::fromStdString(ApplicationTitle(ExecutablePath())));
}

int RunWithoutWindow(int argc, char** argv, const TCommandLine& commandLine,
                     const std::optional<std::string>& password) {
    THeadlessSettings settings;
    try {
        settings = ReadHeadlessSettings(commandLine, password ? password->c_str() : nullptr);
    } catch (const Exception& error) {
        return commandLine.Refuse(error);
    }
    QCoreApplication application(argc, argv);
    NameTheApplication();
    return RunHeadless(settings);
}

int RunWindow(int argc, char** argv, const TCommandLine& commandLine) {
    // What the window could only show in a box is refused before it opens.
    try {
        commandLine.Number(Option::CallLimit);
        CheckTargetText(commandLine);
    } catch (const Exception& error) {
        return commandLine.Refuse(error);
    }
    QApplication application(argc, argv);
    NameTheApplication();
    // A termination signal ends the program as closing its window does: the connection detaches, the journal
    // is put on the disk and the settings are written. Made before the window, so that it still answers while
    // the window is destroyed.
    TTerminationSignals terminationSignals([](int) {
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    });
    TForm1 form(nullptr, commandLine);
    TQuitWithWindow quitWithWindow;
    form.installEventFilter(&quitWithWindow);
    form.show();
    return QApplication::exec();
}
} // namespace

int main(int argc, char** argv) {
    UseUtf8CharacterType();
    ForbidCoreDumps();
    const std::optional<std::string> password = TakeSecretVariable("QUORVANE_PASSWORD");
    TTerminationSignals::HoldUntilHandled();
    const TCommandLine commandLine(std::vector<std::string>(argv, argv + argc));
    if (const auto exitCode = commandLine.Respond())
        return *exitCode;
    return commandLine.IsSet("headless") ? RunWithoutWindow(argc, argv, commandLine, password)
                                         : RunWindow(argc, argv, commandLine);
}
