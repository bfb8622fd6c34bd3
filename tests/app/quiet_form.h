#pragma once

#include "app/main_window.h"
#include "settings/form_storage.h"

// The window without its settings file, so that one test's entries never reach the next one.
class QuietForm : public TForm1 {
public:
    QuietForm() { FormStorage1()->SetActive(false); }
};
