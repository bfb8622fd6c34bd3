// Put into the real executable by the termination tests (LD_PRELOAD), so that they drive the program a user
// runs, unchanged. Once the window shows it says "shown" on standard output; when QV_START_DATABASE is set it
// then types the entries from the environment, presses Start and says "running" once the run has begun.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

QWidget* ShownForm() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "Form1" && widget->isVisible())
            return widget;
    return nullptr;
}

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void Type(QWidget* form, const char* name, const char* variable) {
    if (auto* edit = form->findChild<QLineEdit*>(name))
        edit->setText(qEnvironmentVariable(variable));
}

void SayWhenRunning(QWidget* form) {
    auto* stop = form->findChild<QPushButton*>("btnStop");
    if (stop != nullptr && stop->isEnabled()) {
        Say("running");
        return;
    }
    QTimer::singleShot(50, form, [form] { SayWhenRunning(form); });
}

void StartWhenShown() {
    QWidget* form = ShownForm();
    if (form == nullptr) {
        QTimer::singleShot(50, StartWhenShown);
        return;
    }
    Say("shown");
    if (qEnvironmentVariableIsEmpty("QV_START_DATABASE"))
        return;
    Type(form, "edDBName", "QV_START_DATABASE");
    Type(form, "edUser", "QV_START_USER");
    Type(form, "edPassword", "QV_START_PASSWORD");
    Type(form, "sePeriod", "QV_START_PERIOD");
    form->findChild<QPushButton*>("btnStart")->click();
    SayWhenRunning(form);
}

void WatchForTheWindow() { QTimer::singleShot(0, StartWhenShown); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchForTheWindow)
