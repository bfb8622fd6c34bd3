#pragma once

#include "log/data_set_listener.h"
#include "log/log_statistics.h"
#include "log/outage_timeline.h"

#include <QWidget>
#include <functional>

class QLabel;
class QMenu;
class QTableWidget;
class QTimer;
class TDataGrid;
class TResponseChart;

// The "Statistics" window: a response-time chart above, figures and the list of outages below, over the whole
// log or over the chart's visible span when zoomed. While shown it follows every new row of the log, and once
// a second the run's outages, which its source (the run's ledger) tells, a call that hangs included.
class TStatisticsWindow : public QWidget, private TDataSetListener {
public:
    explicit TStatisticsWindow(TMemTable& table, QWidget* parent = nullptr);
    ~TStatisticsWindow() override;

    // Ctrl+G in the grid opens the window; the grid's context menu offers "Statistics and chart...", then
    // what moreEntries adds.
    void AttachTo(TDataGrid& grid, std::function<void(QMenu& menu)> moreEntries = {});
    void AddMenuEntry(QMenu& menu);
    // Shows the window, or brings it to the front when it is shown already.
    void Open();
    // Where the outages and the availability come from; without one the window shows none.
    void SetOutageSource(std::function<TOutageReport()> source);

    TResponseChart* Chart() const { return m_chart; }
    QTableWidget* OutageList() const { return m_outages; }
    const TLogStatistics& Statistics() const { return m_statistics; }
    // The shown text of a figure by its caption ("Rows", "p95", ...); empty for an unknown caption.
    QString FigureText(const QString& caption) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void DataSetChanged() override;
    void FieldChanged(const TField&) override {}
    void StateChanged() override {}

    QWidget* CreateFigures();
    void AddFigure(const QString& caption, const QString& toolTip = QString());
    void Rebuild();
    void ShowFigures();
    void ShowOutages();
    void FillOutageRow(int row, const TOutage& outage);
    // The run's outages within the span shown.
    std::vector<TOutage> ShownOutages() const;
    void GoToOutage(int row);

    TMemTable& m_table;
    TLogStatistics m_statistics;
    TResponseChart* m_chart = nullptr;
    QLabel* m_spanLabel = nullptr;
    std::vector<std::pair<QString, QLabel*>> m_figures;
    QTableWidget* m_outages = nullptr;
    QTimer* m_outageClock = nullptr;
    std::function<TOutageReport()> m_outageSource;
    TOutageReport m_report; // asked last
    std::vector<TOutage> m_shownOutages;
    bool m_listening = false;
};
