#include "view/statistics_window.h"

#include "core/exceptions.h"
#include "core/text_codec.h"
#include "log/locale_format.h"
#include "view/data_grid.h"
#include "view/response_chart.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString NoValue = QStringLiteral("\u2014");

QString TimeText(int64_t timeMs) {
    return TLocaleFormat().DateTimeString(static_cast<TDateTime>(timeMs) / MSecsPerDay);
}

QString DurationText(int64_t ms) {
    const int64_t seconds = ms / 1000;
    return QString("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}

// Every figure in one format: the averages need a decimal, so the whole milliseconds get one too.
QString Milliseconds(double value) { return QString::number(value, 'f', 1) + " ms"; }

} // namespace

TStatisticsWindow::TStatisticsWindow(TMemTable& table, QWidget* parent)
    : QWidget(parent, Qt::Window), m_table(table) {
    setWindowTitle("Statistics");
    resize(900, 640);
    m_chart = new TResponseChart(table);
    m_chart->OnVisibleSpanChanged = [this] { Rebuild(); };

    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    m_spanLabel = new QLabel;
    lowerLayout->addWidget(m_spanLabel);
    lowerLayout->addWidget(CreateFigures());
    m_outages = new QTableWidget(0, 6);
    m_outages->setHorizontalHeaderLabels({"Start", "End", "Duration", "Rows", "Cause", "First error"});
    m_outages->horizontalHeader()->setStretchLastSection(true);
    m_outages->setWordWrap(false);
    const int timeWidth = fontMetrics().horizontalAdvance(TimeText(0) + " 00:00:00 PM") + 12;
    for (int column = 0; column < 2; ++column)
        m_outages->setColumnWidth(column, timeWidth);
    m_outages->verticalHeader()->setVisible(false);
    m_outages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_outages->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_outages->setToolTip("Double-click an outage to make its first failed row the current row of the log");
    // A call that hangs sends no row: the outages are looked at once a second as well.
    m_outageClock = new QTimer(this);
    m_outageClock->setInterval(1000);
    connect(m_outageClock, &QTimer::timeout, this, [this] {
        ShowFigures();
        ShowOutages();
    });
    connect(m_outages, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { GoToOutage(row); });
    lowerLayout->addWidget(m_outages, 1);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(m_chart);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
}

TStatisticsWindow::~TStatisticsWindow() {
    if (m_listening)
        m_table.RemoveListener(this);
}

void TStatisticsWindow::AttachTo(TDataGrid& grid, std::function<void(QMenu& menu)> moreEntries) {
    grid.OnContextRequest = [this, moreEntries = std::move(moreEntries)](TDataGrid&, QPoint globalPos, bool byKey) {
        if (byKey) {
            Open();
            return;
        }
        QMenu menu;
        AddMenuEntry(menu);
        if (moreEntries)
            moreEntries(menu);
        menu.exec(globalPos);
    };
}

void TStatisticsWindow::AddMenuEntry(QMenu& menu) {
    menu.addAction("Statistics and chart...", this, [this] { Open(); });
}

void TStatisticsWindow::Open() {
    show();
    raise();
    activateWindow();
}

QString TStatisticsWindow::FigureText(const QString& caption) const {
    for (const auto& [name, label] : m_figures)
        if (name == caption)
            return label->text();
    return {};
}

void TStatisticsWindow::SetOutageSource(std::function<TOutageReport()> source) {
    m_outageSource = std::move(source);
    if (isVisible())
        Rebuild();
}

void TStatisticsWindow::showEvent(QShowEvent* event) {
    m_outageClock->start();
    if (!m_listening) {
        m_table.AddListener(this);
        m_listening = true;
    }
    Rebuild();
    QWidget::showEvent(event);
}

// A hidden window does no work per row; it catches up when shown again.
void TStatisticsWindow::hideEvent(QHideEvent* event) {
    m_outageClock->stop();
    if (m_listening) {
        m_table.RemoveListener(this);
        m_listening = false;
    }
    QWidget::hideEvent(event);
}

void TStatisticsWindow::DataSetChanged() {
    if (m_table.RecordCount() == 0)
        m_chart->ResetZoom(); // a new run starts with an empty chart over its own rows
    m_statistics.Follow(m_table);
    ShowFigures();
    ShowOutages();
}

QWidget* TStatisticsWindow::CreateFigures() {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    AddFigure("Rows");
    AddFigure("Failed rows");
    AddFigure("Availability", "Percent of the run's time (of the visible span when zoomed) outside outages");
    AddFigure("Min");
    AddFigure("Average");
    AddFigure("Median", "The middle value; the mean of the two middle values for an even count");
    AddFigure("p95", "95th percentile (nearest rank) of the successful rows' Value");
    AddFigure("p99", "99th percentile (nearest rank) of the successful rows' Value");
    AddFigure("Max");
    AddFigure("Jitter", "Mean absolute difference of successive successful values");
    constexpr int PerLine = 5;
    for (size_t i = 0; i < m_figures.size(); ++i) {
        auto* caption = new QLabel(m_figures[i].first + ":");
        caption->setToolTip(m_figures[i].second->toolTip());
        const int line = static_cast<int>(i) / PerLine;
        const int column = static_cast<int>(i) % PerLine * 2;
        grid->addWidget(caption, line, column);
        grid->addWidget(m_figures[i].second, line, column + 1);
    }
    return box;
}

void TStatisticsWindow::AddFigure(const QString& caption, const QString& toolTip) {
    auto* value = new QLabel(NoValue);
    value->setToolTip(toolTip);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures.emplace_back(caption, value);
}

void TStatisticsWindow::Rebuild() {
    m_statistics.Rebuild(m_table, m_chart->Zoomed() ? m_chart->VisibleSpan() : std::nullopt);
    m_outages->setRowCount(0);
    ShowFigures();
    ShowOutages();
}

// The outages are the run's, as its ledger tells them, limited to the span shown when zoomed.
std::vector<TOutage> TStatisticsWindow::ShownOutages() const {
    std::vector<TOutage> outages = m_report.outages;
    if (!m_chart->Zoomed())
        return outages;
    const std::optional<TTimeSpan> span = m_chart->VisibleSpan();
    std::vector<TOutage> shown;
    for (TOutage& outage : outages)
        if (span && outage.endMs >= span->fromMs && outage.startMs <= span->toMs) {
            outage.startMs = std::max(outage.startMs, span->fromMs);
            outage.endMs = std::min(outage.endMs, span->toMs);
            shown.push_back(std::move(outage));
        }
    return shown;
}

void TStatisticsWindow::ShowFigures() {
    const TLogStatistics& s = m_statistics;
    if (m_outageSource)
        m_report = m_outageSource();
    m_shownOutages = ShownOutages();
    m_chart->SetOutages(m_shownOutages);
    if (!m_chart->Zoomed())
        m_chart->SetFullSpan(s.Rows() > 0 ? std::optional(TTimeSpan{s.EarliestMs(), s.LatestMs()}) : std::nullopt);
    m_chart->update();
    const std::optional<TTimeSpan> span = m_chart->VisibleSpan();
    m_spanLabel->setText(m_chart->Zoomed() && span
                             ? QString("Visible span: %1 to %2").arg(TimeText(span->fromMs), TimeText(span->toMs))
                             : QString("All rows"));
    const bool values = s.SuccessfulRows() > 0;
    const std::optional<TTimeSpan> over =
        m_chart->Zoomed() ? span : std::optional(TTimeSpan{m_report.runStartMs, m_report.nowMs});
    const bool availability = m_outageSource && over && (s.Rows() > 0 || !m_shownOutages.empty());
    const QString texts[] = {
        QString::number(s.Rows()),
        QString::number(s.FailedRows()),
        availability ? QString::number(100 * AvailabilityOver(m_shownOutages, over->fromMs, over->toMs), 'f', 3) + " %"
                     : NoValue,
        values ? Milliseconds(s.Min()) : NoValue,
        values ? Milliseconds(s.Average()) : NoValue,
        values ? Milliseconds(s.Median()) : NoValue,
        values ? Milliseconds(s.Percentile(95)) : NoValue,
        values ? Milliseconds(s.Percentile(99)) : NoValue,
        values ? Milliseconds(s.Max()) : NoValue,
        s.SuccessfulRows() > 1 ? Milliseconds(s.Jitter()) : NoValue,
    };
    for (size_t i = 0; i < m_figures.size(); ++i)
        m_figures[i].second->setText(texts[i]);
}

// Rows of earlier outages do not change while a run goes on: only new ones are added and the last refreshed.
void TStatisticsWindow::ShowOutages() {
    const std::vector<TOutage>& outages = m_shownOutages;
    const int shown = m_outages->rowCount();
    if (shown > static_cast<int>(outages.size())) {
        m_outages->setRowCount(0);
        ShowOutages();
        return;
    }
    m_outages->setRowCount(static_cast<int>(outages.size()));
    for (int row = std::max(shown - 1, 0); row < static_cast<int>(outages.size()); ++row)
        FillOutageRow(row, outages[static_cast<size_t>(row)]);
}

void TStatisticsWindow::FillOutageRow(int row, const TOutage& outage) {
    const QString texts[] = {TimeText(outage.startMs),
                             TimeText(outage.endMs),
                             DurationText(outage.endMs - outage.startMs),
                             QString::number(outage.rows),
                             CauseName(outage.failure.cause),
                             FromCp1251(outage.failure.reason)};
    for (int column = 0; column < 6; ++column) {
        QTableWidgetItem* item = m_outages->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            m_outages->setItem(row, column, item);
        }
        item->setText(texts[column]);
    }
}

// The outage's first failed row: the first one at or after its start.
void TStatisticsWindow::GoToOutage(int row) {
    if (row < 0 || row >= static_cast<int>(m_shownOutages.size()))
        return;
    const int64_t startMs = m_shownOutages[static_cast<size_t>(row)].startMs;
    std::optional<TBookmark> first;
    {
        const auto lock = m_table.LockRecords();
        m_table.Records().ForEach(0, [&](const TRecordView& record) {
            if (!first && !record.error.empty() && record.timeMs >= startMs)
                first = TBookmark{record.id};
        });
    }
    if (first && m_table.BookmarkValid(*first))
        m_table.GotoBookmark(*first);
}
