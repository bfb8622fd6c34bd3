#include "app/save_dialog.h"

#include <QFileDialog>

bool TSaveDialog::Execute() {
    QFileDialog dialog(m_parent);
    dialog.setObjectName("SaveDialog1");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({"Text files (*.txt)", "All files (*.*)"});
    dialog.selectNameFilter("Text files (*.txt)");
    dialog.setDefaultSuffix("txt");
    dialog.setSizeGripEnabled(true);
    if (!m_fileName.isEmpty())
        dialog.selectFile(m_fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    m_fileName = dialog.selectedFiles().front();
    return true;
}
