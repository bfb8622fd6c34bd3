#pragma once

#include "view/cell_search.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;
class TDataGrid;

// The grid's find dialog: looks for a text in the rows the grid shows and moves the grid to the first
// matching cell. One instance lives for the program run, so its options and its list of searched texts
// stay from one Ctrl+F to the next; nothing of it is saved.
class TDataGridFindDlg : public QDialog {
    Q_OBJECT

public:
    explicit TDataGridFindDlg(QWidget* parent = nullptr);

    // Ctrl+F: lists the grid's visible columns and "<All>", selects the focused column, starts a new search
    // and shows the dialog modally.
    void Execute(TDataGrid& grid, const QString& text = {});
    // Everything Execute does before showing.
    void Prepare(TDataGrid& grid, const QString& text = {});
    // Find next; reversed turns up into down and down or from-the-top into up (Ctrl held). On a match the
    // grid's current cell moves there; without one the grid stays as it was. True on a match.
    bool FindNext(bool reversed = false);

    QComboBox* cbText() const { return m_cbText; }
    QComboBox* cbFindIn() const { return m_cbFindIn; }
    QComboBox* cbMatchinType() const { return m_cbMatchinType; }
    QComboBox* cbFindDirection() const { return m_cbFindDirection; }
    QCheckBox* cbCharCase() const { return m_cbCharCase; }
    QCheckBox* cbUseFormat() const { return m_cbUseFormat; }
    QPushButton* bFind() const { return m_bFind; }
    QPushButton* bCancel() const { return m_bCancel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void ConnectFirstSearchResets();
    void RememberText(const QString& text);
    TSearchDirection Direction(bool reversed) const;
    std::vector<int> SearchedColumns() const;
    void CentreOnScreen();

    QComboBox* m_cbText;
    QComboBox* m_cbFindIn;
    QComboBox* m_cbMatchinType;
    QComboBox* m_cbFindDirection;
    QCheckBox* m_cbCharCase;
    QCheckBox* m_cbUseFormat;
    QPushButton* m_bFind;
    QPushButton* m_bCancel;

    TDataGrid* m_grid = nullptr;
    std::vector<int> m_visibleColumns; // the grid's visible columns in screen order, as listed in cbFindIn
    bool m_firstSearch = true;
};

// Ctrl+F in the grid opens its find dialog, made at the first use and reused afterwards.
void AttachFindDialog(TDataGrid& grid);
