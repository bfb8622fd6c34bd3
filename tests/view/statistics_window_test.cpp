#include "view/data_grid.h"
#include "view/data_source.h"
#include "view/response_chart.h"
#include "view/statistics_window.h"

#include "log/mem_table.h"
#include "log/outage_timeline.h"

#include <QImage>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const TDateTime Start = EncodeDate(2025, 12, 8);

void Append(TMemTable& table, int32_t value, const std::string& error = "") {
    table.BeginAppend();
    table.MTTime.SetAsDateTime(Start + table.RecordCount() / 86400.0);
    table.MTValue.SetAsInteger(value);
    table.MTError.SetAsString(error);
    table.PostRecord();
}

} // namespace

// The rows' figures follow the table; the outages and the availability are the run's, as its outage ledger
// (here its timeline) tells them, a call that hangs included while it hangs.
TEST(StatisticsWindow, ShowsTheFiguresFollowsNewRowsAndTheRunsOutagesDuringAHang) {
    TMemTable table;
    TOutageTimeline timeline(1000);
    const int64_t startMs = std::llround(Start * MSecsPerDay);
    int64_t nowMs = startMs;
    timeline.Begin(startMs);
    const auto row = [&](int32_t value, std::optional<TFailure> failure = std::nullopt) {
        // The ledger decides before the row reaches the window.
        nowMs = startMs + table.RecordCount() * 1000;
        timeline.Row(nowMs, failure);
        Append(table, value, failure ? "Form1.qry1:\r\n" + failure->reason : "");
    };
    TStatisticsWindow window(table);
    window.SetOutageSource([&] {
        return TOutageReport{timeline.Outages(nowMs), startMs, startMs + timeline.RunMs(nowMs)};
    });
    for (int32_t value : {10, 20, 30})
        row(value);
    window.show();
    EXPECT_EQ(window.windowTitle(), "Statistics");
    EXPECT_EQ(window.FigureText("Rows"), "3");
    EXPECT_EQ(window.FigureText("Median"), "20.0 ms");
    EXPECT_EQ(window.FigureText("Availability"), "100.000 %");

    const TFailure lost{TFailureCause::Network, "Error writing data to the connection."};
    row(0, lost);
    row(0, lost);
    row(50);
    EXPECT_EQ(window.FigureText("Rows"), "6");
    EXPECT_EQ(window.FigureText("Failed rows"), "2");
    EXPECT_EQ(window.FigureText("Availability"), "40.000 %"); // out from second 2 to second 5 of 5
    EXPECT_EQ(window.FigureText("Max"), "50.0 ms");
    EXPECT_EQ(window.FigureText("p95"), "50.0 ms");
    EXPECT_EQ(window.FigureText("Jitter"), "13.3 ms");
    ASSERT_EQ(window.OutageList()->rowCount(), 1);
    EXPECT_EQ(window.OutageList()->item(0, 3)->text(), "2");
    EXPECT_EQ(window.OutageList()->item(0, 2)->text(), "0:00:03");
    EXPECT_EQ(window.OutageList()->item(0, 4)->text(), "network");
    EXPECT_EQ(window.OutageList()->item(0, 5)->text(), "Error writing data to the connection.");
    emit window.OutageList()->cellDoubleClicked(0, 1);
    EXPECT_EQ(table.CurrentRow(), 3); // the outage's first failed row

    // A call hangs for 5 s: no row comes, and the window shows the outage all the same.
    timeline.CallBegun(nowMs);
    nowMs += 5000;
    QTRY_COMPARE_WITH_TIMEOUT(window.OutageList()->rowCount(), 2, 3000);
    EXPECT_EQ(window.OutageList()->item(1, 4)->text(), "no_answer");
    EXPECT_EQ(window.FigureText("Availability"), "20.000 %"); // 3 s + 5 s out of 10 s
    EXPECT_EQ(window.FigureText("Failed rows"), "2");

    table.ClearRecords();
    EXPECT_EQ(window.FigureText("Rows"), "0");
    EXPECT_EQ(window.FigureText("Min"), QStringLiteral("\u2014"));
    EXPECT_FALSE(window.Chart()->VisibleSpan().has_value());
}

TEST(StatisticsWindow, ZoomingCountsOnlyTheVisibleSpanAndResetShowsAll) {
    TMemTable table;
    for (int i = 0; i < 200; ++i)
        Append(table, i < 100 ? 10 : 1000, i == 150 ? "lost" : "");
    TStatisticsWindow window(table);
    window.resize(900, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    TResponseChart* chart = window.Chart();
    EXPECT_EQ(window.FigureText("Rows"), "200");

    chart->ZoomAt(chart->PlotArea().left(), 0.25); // the first quarter of the log
    ASSERT_TRUE(chart->Zoomed());
    const TTimeSpan span = *chart->VisibleSpan();
    int inSpan = 0;
    for (int row = 0; row < table.RecordCount(); ++row) {
        const int64_t ms = std::llround(std::get<TDateTime>(table.RowValue(row, 0)) * MSecsPerDay);
        inSpan += ms >= span.fromMs && ms <= span.toMs;
    }
    EXPECT_GT(inSpan, 40);
    EXPECT_LT(inSpan, 60);
    EXPECT_EQ(window.FigureText("Rows"), QString::number(inSpan));
    EXPECT_EQ(window.FigureText("Max"), "10.0 ms");
    EXPECT_EQ(window.FigureText("Failed rows"), "0");

    chart->PanBy(-chart->PlotArea().width() * 3); // dragging to the right end of the log
    EXPECT_EQ(window.FigureText("Max"), "1000.0 ms");
    EXPECT_EQ(window.FigureText("Failed rows"), "1");

    QTest::mouseDClick(chart, Qt::LeftButton, {}, chart->PlotArea().center());
    EXPECT_FALSE(chart->Zoomed());
    EXPECT_EQ(window.FigureText("Rows"), "200");
}

TEST(StatisticsWindow, TheChartSavesAsPng) {
    TMemTable table;
    for (int i = 0; i < 100; ++i)
        Append(table, i % 7 * 10, i % 30 == 0 ? "down" : "");
    TStatisticsWindow window(table);
    window.resize(800, 600);
    window.show();
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.png");
    ASSERT_TRUE(window.Chart()->SaveAsPng(path));
    const QImage image(path);
    EXPECT_EQ(image.size(), window.Chart()->size());
    // The drawn line is there: some pixel of the plot has the value colour.
    bool lineDrawn = false;
    for (int x = 0; x < image.width() && !lineDrawn; ++x)
        for (int y = 0; y < image.height() && !lineDrawn; ++y)
            lineDrawn = image.pixelColor(x, y) == QColor(30, 90, 200);
    EXPECT_TRUE(lineDrawn);
    EXPECT_FALSE(window.Chart()->SaveAsPng(dir.filePath("missing/chart.png")));
}

TEST(StatisticsWindow, OpensFromTheGridsShortcutAndContextMenu) {
    TMemTable table;
    Append(table, 5);
    TDataSource source;
    source.SetDataSet(&table);
    TDataGrid grid;
    grid.SetDataSource(&source);
    TStatisticsWindow window(table, &grid);
    window.AttachTo(grid);
    grid.show();
    ASSERT_TRUE(grid.OnContextRequest);
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.FigureText("Rows"), "1");

    window.hide();
    QMenu menu;
    window.AddMenuEntry(menu);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions()[0]->text(), "Statistics and chart...");
    menu.actions()[0]->trigger();
    EXPECT_TRUE(window.isVisible());
}

TEST(StatisticsWindow, AxisLabelsCarryTheDecimalsOfTheirStepAndFiguresShareOneFormat) {
    EXPECT_EQ(TResponseChart::ValueAxisLabels(1, 5), (QStringList{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));
    EXPECT_EQ(TResponseChart::ValueAxisLabels(10, 4), (QStringList{"0.0", "2.5", "5.0", "7.5", "10.0"}));
    EXPECT_EQ(TResponseChart::ValueAxisLabels(50, 5), (QStringList{"0", "10", "20", "30", "40", "50"}));
    EXPECT_EQ(TResponseChart::ValueAxisLabels(2, 1), (QStringList{"0", "2"}));

    TMemTable table;
    for (int32_t value : {0, 1, 1})
        Append(table, value);
    TStatisticsWindow window(table);
    window.show();
    EXPECT_EQ(window.FigureText("Min"), "0.0 ms");
    EXPECT_EQ(window.FigureText("Max"), "1.0 ms");
    EXPECT_EQ(window.FigureText("p95"), "1.0 ms");
    EXPECT_EQ(window.FigureText("Median"), "1.0 ms");
    EXPECT_EQ(window.FigureText("Jitter"), "0.5 ms");
}
