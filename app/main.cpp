#include "app/command_line.h"
#include "app/headless_run.h"
#include "app/main_window.h"
#include "app/test_cycle.h"
#include "core/error_box.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/termination_signals.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>

namespace {
void NameTheApplication() {
    QCoreApplication::setApplicationName(QString::fromStdString(ApplicationTitle(ExecutablePath())));
}

int RunWithoutWindow(int argc, char** argv, const TCommandLine& commandLine) {
    THeadlessSettings settings;
    try {
        settings = ReadHeadlessSettings(commandLine, std::getenv("QUORVANE_PASSWORD"));
    } catch (const Exception& error) {
        return commandLine.Refuse(error.Utf8Message().empty() ? error.Message() : error.Utf8Message());
    }
    QCoreApplication application(argc, argv);
    NameTheApplication();
    return RunHeadless(settings);
}

int RunWindow(int argc, char** argv, const TCommandLine& commandLine) {
    int32_t callLimitSeconds = 0;
    try {
        callLimitSeconds = CallLimitSeconds(commandLine);
    } catch (const Exception& error) {
        return commandLine.Refuse(error.Message());
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
    TForm1 form;
    if (commandLine.IsSet("journal"))
        form.SetJournalPath(QString::fromStdString(commandLine.Value("journal")));
    // The command line goes before the settings file's Metrics= and CallLimit=, for this session only.
    if (commandLine.IsSet("metrics"))
        form.TestCycle()->SetMetricsAddress(commandLine.Value("metrics"), commandLine.Value("target"));
    if (commandLine.IsSet("call-limit"))
        form.TestCycle()->SetCallLimitSeconds(callLimitSeconds);
    form.show();
    return QApplication::exec();
}
} // namespace

int main(int argc, char** argv) {
    const TCommandLine commandLine(std::vector<std::string>(argv, argv + argc));
    if (const auto exitCode = commandLine.Respond())
        return *exitCode;
    return commandLine.IsSet("headless") ? RunWithoutWindow(argc, argv, commandLine)
                                         : RunWindow(argc, argv, commandLine);
}
