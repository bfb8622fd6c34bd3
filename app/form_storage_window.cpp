#include "app/form_storage_window.h"

#include "app/escaped_errors.h"
#include "app/memo_lines.h"
#include "app/spin_edit.h"
#include "core/escaped_error.h"
#include "core/text_codec.h"
#include "settings/app_ini_file_storage.h"
#include "settings/form_storage.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdint>

namespace {
// The stored rectangle is the outer one of the system the window was designed on (4-pixel borders, a
// 23-pixel caption: 657 x 410 outside for 649 x 383 inside). Fixed margins keep the stored size the same
// from run to run whatever frame the window manager draws, or none.
constexpr int DesignedFrameWidth = 8;
constexpr int DesignedFrameHeight = 27;

enum class TControlKind { None, Text, Value, Lines };

TControlKind KindOf(const QWidget* control) {
    if (qobject_cast<const TSpinEdit*>(control))
        return TControlKind::Value;
    if (qobject_cast<const QLineEdit*>(control))
        return TControlKind::Text;
    if (qobject_cast<const QPlainTextEdit*>(control))
        return TControlKind::Lines;
    return TControlKind::None;
}

const char* DeclaredName(TControlKind kind) {
    switch (kind) {
    case TControlKind::Text:
        return "Text";
    case TControlKind::Value:
        return "Value";
    case TControlKind::Lines:
        return "Lines";
    case TControlKind::None:
        break;
    }
    return "";
}

// The settings file keeps the memo's lines in UTF-8, as the window shows them.
std::vector<std::string> StoredLines(const QPlainTextEdit& memo) {
    std::vector<std::string> result;
    for (const QString& line : MemoLines(memo.toPlainText()))
        result.push_back(line.toStdString());
    return result;
}

void SetStoredLines(QPlainTextEdit& memo, const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    memo.setPlainText(MemoText(text));
}
} // namespace

TFormStorageWindow::TFormStorageWindow(QWidget& window, TAppIniFileStorage& iniStorage,
                                       TFormStorage& formStorage)
    : m_window(window), m_iniStorage(iniStorage), m_formStorage(formStorage) {
    iniStorage.SetFileName("Quorvane.ini");
    iniStorage.SetDefaultSection("System");
    iniStorage.SetAutoReload(true);
    iniStorage.SetAutoFlush(true);
    iniStorage.LoadFromDisk();
    formStorage.SetAppStorage(&iniStorage);
    formStorage.SetAppStoragePath("%FORM_NAME%\\");
    formStorage.SetStoredProps(
        {"edDBName.Text", "edUser.Text", "sePeriod.Value", "seAmount.Value", "mSQL.Lines"});
    formStorage.SetForm(this);
    window.installEventFilter(this);
}

TFormStorageWindow::~TFormStorageWindow() {
    m_window.removeEventFilter(this);
    try {
        m_formStorage.FormDestroy();
    } catch (...) {
        // The window is going away; there is nobody left to tell.
    }
}

bool TFormStorageWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_window)
        return false;
    if (event->type() == QEvent::Show) {
        try {
            m_formStorage.FormShow();
            TellUnreadableFileOnce();
        } catch (...) {
            // Shown once the window is up, so that the box does not run inside the window's own showing.
            QTimer::singleShot(0, &m_window, [this, error = std::current_exception()] {
                RunShowingErrors(&m_window, [error] { std::rethrow_exception(error); });
            });
        }
    } else if (event->type() == QEvent::Close) {
        RunShowingErrors(&m_window, [this] { m_formStorage.FormCloseQuery(true); });
    }
    return false;
}

// The window runs on its defaults; the user learns why, and that the file is still there for them to mend.
void TFormStorageWindow::TellUnreadableFileOnce() {
    if (m_toldUnreadable || !m_iniStorage.Unreadable())
        return;
    m_toldUnreadable = true;
    const QString text = QString("The settings file \"%1\" cannot be read; it is kept as it was, and the window "
                                 "starts with its defaults.")
                             .arg(QString::fromStdString(m_iniStorage.FullFileName()));
    QTimer::singleShot(0, &m_window, [this, text] {
        ShowEscapedError(&m_window, {true, ToCp1251(text), text.toStdString()});
    });
}

void TFormStorageWindow::SetScreen(int pixelsPerInch, TScreenSize size) {
    m_pixelsPerInch = pixelsPerInch;
    m_screenSize = size;
}

std::string TFormStorageWindow::FormName() const {
    return m_window.objectName().toStdString();
}

TWindowPlacement TFormStorageWindow::Placement() const {
    const QRect normal =
        m_window.normalGeometry().isValid() ? m_window.normalGeometry() : m_window.geometry();
    // The real frame's left and top, to find the outer corner; none before the window is first shown.
    const QPoint frame = m_window.geometry().topLeft() - m_window.frameGeometry().topLeft();
    const int left = normal.x() - frame.x();
    const int top = normal.y() - frame.y();
    // Flags and the minimized and maximized positions do not exist here; they are written as "none".
    return {
        0,
        {-1, -1},
        {-1, -1},
        {left, top, left + normal.width() + DesignedFrameWidth, top + normal.height() + DesignedFrameHeight}};
}

void TFormStorageWindow::SetPlacement(const TWindowPlacement& placement) {
    const TPlacementRect& outer = placement.NormalPosition;
    const TScreenSize screen = ScreenSize();
    // A damaged file must not ask for a window larger than the desktop. Its numbers may lie anywhere in the
    // integers, so the size is worked out in 64 bits: a huge negative height is the minimum, not a wrap.
    const QSize limit = m_window.screen()->virtualSize().expandedTo(QSize(screen.Width, screen.Height));
    const auto bounded = [](int64_t size, int most) {
        return static_cast<int>(std::clamp<int64_t>(size, 0, most));
    };
    const QSize inner(bounded(int64_t{outer.Right} - outer.Left - DesignedFrameWidth, limit.width()),
                      bounded(int64_t{outer.Bottom} - outer.Top - DesignedFrameHeight, limit.height()));
    m_window.resize(inner.expandedTo(m_window.minimumSize()));
}

int TFormStorageWindow::ScreenPixelsPerInch() const {
    return m_pixelsPerInch.value_or(qRound(m_window.screen()->logicalDotsPerInch()));
}

TScreenSize TFormStorageWindow::ScreenSize() const {
    if (m_screenSize)
        return *m_screenSize;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QSize pixels = primary->size() * primary->devicePixelRatio();
    return {pixels.width(), pixels.height()};
}

QWidget* TFormStorageWindow::Control(const std::string& component) const {
    return m_window.findChild<QWidget*>(QString::fromStdString(component));
}

std::optional<std::string> TFormStorageWindow::PropertyName(const std::string& component,
                                                            const std::string& property) const {
    const std::string declared = DeclaredName(KindOf(Control(component)));
    if (declared.empty() ||
        QString::fromStdString(property).compare(declared.c_str(), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return declared;
}

TStoredValue TFormStorageWindow::PropertyValue(const std::string& component, const std::string&) const {
    QWidget* control = Control(component);
    switch (KindOf(control)) {
    case TControlKind::Value:
        return static_cast<TSpinEdit*>(control)->Value();
    case TControlKind::Text:
        return static_cast<QLineEdit*>(control)->text().toStdString();
    case TControlKind::Lines:
        return StoredLines(*static_cast<QPlainTextEdit*>(control));
    case TControlKind::None:
        break;
    }
    return std::string();
}

void TFormStorageWindow::SetPropertyValue(const std::string& component, const std::string&,
                                          const TStoredValue& value) {
    QWidget* control = Control(component);
    if (const auto* number = std::get_if<int32_t>(&value); number && KindOf(control) == TControlKind::Value)
        static_cast<TSpinEdit*>(control)->SetValue(*number);
    else if (const auto* text = std::get_if<std::string>(&value);
             text && KindOf(control) == TControlKind::Text)
        static_cast<QLineEdit*>(control)->setText(QString::fromStdString(*text));
    else if (const auto* lines = std::get_if<std::vector<std::string>>(&value);
             lines && KindOf(control) == TControlKind::Lines)
        SetStoredLines(*static_cast<QPlainTextEdit*>(control), *lines);
}
