#pragma once

#include "app/main_window.h"
#include "settings/app_ini_file_storage.h"

#include <QTemporaryDir>

// The window with a settings file of its own, so that one test's entries never reach the next one.
class QuietForm : public TForm1 {
public:
    QuietForm() {
        AppIniFileStorage1()->SetLocation(flCustom);
        AppIniFileStorage1()->SetCustomDirectory(m_settingsDir.path().toStdString());
    }

private:
    QTemporaryDir m_settingsDir;
};
