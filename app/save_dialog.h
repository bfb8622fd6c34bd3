#pragma once

#include <QString>

class QWidget;

// The Save command's file dialog: text files first, all files second, ".txt" added to a name without an
// extension, a question before replacing a file. It remembers the name chosen last while the program runs.
class TSaveDialog {
public:
    explicit TSaveDialog(QWidget* parent) : m_parent(parent) {}

    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }

    // Shows the dialog modally; true when the user confirmed a name (then in FileName()).
    bool Execute();

private:
    QWidget* m_parent;
    QString m_fileName;
};
