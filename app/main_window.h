#pragma once

#include "app/command_line.h"
#include "core/component.h"

#include <QWidget>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class TAction;
class TActionList;
class TAppIniFileStorage;
class TCsvStreamFormat;
class TDataGrid;
class TDataSource;
class TFormStorage;
class TFormStorageWindow;
class TLabeledEdit;
class TLinkLabel;
class TMemTable;
class TProbe;
class TSaveDialog;
class TSpinEdit;
class TStatisticsWindow;
class TTestCycle;

// The tool's one window. It owns the controls, the log and the run (whose connection lives on a thread of
// its own), composes the controls at their designed places and forwards its events to the test cycle.
class TForm1 : public QWidget, public TComponent {
public:
    // The command line's options go before the settings file's, for this session only.
    explicit TForm1(QWidget* parent = nullptr, const TCommandLine& commandLine = TCommandLine({}));
    ~TForm1() override;

    QFrame* pnl1() const { return m_pnl1; }
    TDataGrid* DataGrid1() const { return m_DataGrid1; }
    // The run's state in one line below the grid, brought up to date every second.
    QLabel* StateLine() const { return m_stateLine; }
    TLabeledEdit* edDBName() const { return m_edDBName; }
    TLabeledEdit* edUser() const { return m_edUser; }
    TLabeledEdit* edPassword() const { return m_edPassword; }
    QLabel* lbl1() const { return m_lbl1; }
    QLabel* lbl2() const { return m_lbl2; }
    QLabel* lbl3() const { return m_lbl3; }
    TSpinEdit* sePeriod() const { return m_sePeriod; }
    TSpinEdit* seAmount() const { return m_seAmount; }
    QPlainTextEdit* mSQL() const { return m_mSQL; }
    QPushButton* btnStart() const { return m_btnStart; }
    QPushButton* btnStop() const { return m_btnStop; }
    QPushButton* btnSave() const { return m_btnSave; }
    TLinkLabel* lblCopyright() const { return m_lblCopyright; }
    TLinkLabel* lblTessmark() const { return m_lblTessmark; }

    TCsvStreamFormat* CsvStreamFormat1() const { return m_CsvStreamFormat1.get(); }
    TMemTable* MT() const { return m_MT.get(); }
    TDataSource* ds1() const { return m_ds1.get(); }
    TActionList* ActionList1() const { return m_ActionList1.get(); }
    TAction* actStop() const { return m_actStop.get(); }
    TSaveDialog* SaveDialog1() const { return m_SaveDialog1.get(); }
    TTestCycle* TestCycle() const { return m_testCycle.get(); }
    // The run with the connection, on its own thread.
    TProbe* Probe() const { return m_probe.get(); }
    TAppIniFileStorage* AppIniFileStorage1() const { return m_AppIniFileStorage1.get(); }
    TFormStorage* FormStorage1() const { return m_FormStorage1.get(); }
    TFormStorageWindow* FormStorageWindow() const { return m_FormStorageWindow.get(); }

    // The handler of both link labels: opens the address in the clicked label's hint.
    void lblCopyrightClick(TLinkLabel* sender);

    // The journal for the runs started from now on (the platform's file name; empty for none), for this
    // session only, as the command line gives it.
    void SetJournalPath(const QString& path);
    QString JournalPath() const;
    // The grid's context menu: "Keep a journal..." asks for the path and remembers it in the settings file;
    // while one is kept, "Stop keeping a journal" ends that.
    void AddJournalEntries(QMenu& menu);
    void ChooseJournal();
    void StopJournal();

private:
    void CreatePanel();
    void CreateEntries();
    void CreateButtons();
    void CreateLinkLabels();
    void CreateActions();
    void CreateLog();
    void ConnectEvents();
    void UpdateActionsWhenIdle();
    void SetTabOrder();
    QLabel* CreateLabel(const QString& caption, const QRect& bounds);
    void RunCommand(const std::function<void()>& command);
    void RememberJournalPath(const QString& path);
    void ReadRunSettings(const TCommandLine& commandLine);
    void ShowState();

    QFrame* m_pnl1 = nullptr;
    TDataGrid* m_DataGrid1 = nullptr;
    QLabel* m_stateLine = nullptr;
    TLabeledEdit* m_edDBName = nullptr;
    TLabeledEdit* m_edUser = nullptr;
    TLabeledEdit* m_edPassword = nullptr;
    QLabel* m_lbl1 = nullptr;
    QLabel* m_lbl2 = nullptr;
    QLabel* m_lbl3 = nullptr;
    TSpinEdit* m_sePeriod = nullptr;
    TSpinEdit* m_seAmount = nullptr;
    QPlainTextEdit* m_mSQL = nullptr;
    QPushButton* m_btnStart = nullptr;
    QPushButton* m_btnStop = nullptr;
    QPushButton* m_btnSave = nullptr;
    TLinkLabel* m_lblCopyright = nullptr;
    TLinkLabel* m_lblTessmark = nullptr;

    // Declared in the order of their dependencies, so that they are destroyed the other way round.
    std::unique_ptr<TCsvStreamFormat> m_CsvStreamFormat1;
    std::unique_ptr<TMemTable> m_MT;
    std::unique_ptr<TDataSource> m_ds1;
    // Listens to MT, so it must go before it.
    std::unique_ptr<TStatisticsWindow> m_statistics;
    std::unique_ptr<TActionList> m_ActionList1;
    std::unique_ptr<TAction> m_actStop;
    std::unique_ptr<TSaveDialog> m_SaveDialog1;
    std::unique_ptr<TTestCycle> m_testCycle;
    // Goes before the cycle and the log it reports to, so that nothing of the run reaches them afterwards.
    std::unique_ptr<TProbe> m_probe;
    std::unique_ptr<TAppIniFileStorage> m_AppIniFileStorage1;
    std::unique_ptr<TFormStorage> m_FormStorage1;
    // Declared last so that it goes first, saving while the controls still exist.
    std::unique_ptr<TFormStorageWindow> m_FormStorageWindow;
};
