#pragma once

#include "settings/storable_form.h"

#include <QObject>
#include <optional>

class QWidget;
class TAppIniFileStorage;
class TFormStorage;

// The main window as the form storage sees it. It sets up the window's two storage components as the window
// declares them, finds the stored entries among the window's controls by name, and runs the storage on the
// window's first show (restore), its close (save) and its end (save, unless a close saved already).
class TFormStorageWindow : public QObject, public TStorableForm {
public:
    TFormStorageWindow(QWidget& window, TAppIniFileStorage& iniStorage, TFormStorage& formStorage);
    ~TFormStorageWindow() override;

    // Tests put the window on a screen of their choosing; otherwise the primary screen counts.
    void SetScreen(int pixelsPerInch, TScreenSize size);

    std::string FormName() const override;
    TWindowPlacement Placement() const override;
    void SetPlacement(const TWindowPlacement& placement) override;
    int ScreenPixelsPerInch() const override;
    TScreenSize ScreenSize() const override;
    std::optional<std::string> PropertyName(const std::string& component,
                                            const std::string& property) const override;
    TStoredValue PropertyValue(const std::string& component, const std::string& property) const override;
    void SetPropertyValue(const std::string& component, const std::string& property,
                          const TStoredValue& value) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Control(const std::string& component) const;

    void TellUnreadableFileOnce();

    QWidget& m_window;
    TAppIniFileStorage& m_iniStorage;
    TFormStorage& m_formStorage;
    bool m_toldUnreadable = false;
    std::optional<int> m_pixelsPerInch;
    std::optional<TScreenSize> m_screenSize;
};
