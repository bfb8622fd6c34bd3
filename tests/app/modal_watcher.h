#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class QFileDialog;

// Answers the modal boxes and dialogs that a handler opens, as a user would: records each message box and
// presses its button; hands each file dialog to a callback (or cancels it).
class ModalWatcher {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        int width;
    };

    ModalWatcher();

    const std::vector<Box>& Boxes() const { return m_boxes; }
    // Called with an open file dialog; the callback accepts or rejects it.
    std::function<void(QFileDialog& dialog)> OnFileDialog;
    // Called once per box, before it is closed (the timer keeps ticking meanwhile).
    std::function<void(const Box& box)> OnBox;
    int FileDialogs() const { return m_fileDialogs; }

private:
    void Poll();

    QTimer m_timer;
    std::vector<Box> m_boxes;
    int m_fileDialogs = 0;
};
