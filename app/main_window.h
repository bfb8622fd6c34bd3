#pragma once

#include "core/component.h"

#include <QWidget>

// The tool's one window. It owns every component of the tool and forwards its events to the test cycle.
class TForm1 : public QWidget, public TComponent {
public:
    explicit TForm1(QWidget* parent = nullptr);
};
