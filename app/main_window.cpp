#include "app/main_window.h"

namespace {
// The designed client area; the frame adds to it (657 x 410 outside on the system it was designed on).
constexpr int DesignedClientWidth = 649;
constexpr int DesignedClientHeight = 383;
constexpr int DesignedLeft = 307;
constexpr int DesignedTop = 107;
} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent), TComponent(nullptr, "Form1") {
    setObjectName("Form1");
    setWindowTitle("Connection tester");
    resize(DesignedClientWidth, DesignedClientHeight);
    move(DesignedLeft, DesignedTop);
}
