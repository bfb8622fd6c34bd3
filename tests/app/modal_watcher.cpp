#include "modal_watcher.h"

#include <QApplication>
#include <QFileDialog>

ModalWatcher::ModalWatcher() {
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start();
}

void ModalWatcher::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        const Box seen{box->windowTitle(), box->text(), box->icon(), box->standardButtons(), box->width()};
        m_boxes.push_back(seen);
        if (OnBox)
            OnBox(seen);
        box->accept();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        ++m_fileDialogs;
        if (OnFileDialog)
            OnFileDialog(*dialog);
        else
            dialog->reject();
    }
}
