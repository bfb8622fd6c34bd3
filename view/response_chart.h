#pragma once

#include "log/chart_columns.h"
#include "log/log_statistics.h"
#include "log/outage_timeline.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

// The chart of the statistics window: Value over Time for the successful rows, failed rows as red marks along
// the top, outages shaded. The wheel zooms the time axis around the pointer, dragging pans, a double-click
// shows the whole log again; the context menu saves the chart as a PNG file.
class TResponseChart : public QWidget {
public:
    explicit TResponseChart(const TMemTable& table, QWidget* parent = nullptr);
    // The outages to shade, as the run's ledger tells them.
    void SetOutages(std::vector<TOutage> outages);

    // The whole log's time range, which the chart shows until the user zooms.
    void SetFullSpan(std::optional<TTimeSpan> span);
    bool Zoomed() const { return m_zoomed; }
    // The time span on screen; none when the log is empty and the chart is not zoomed.
    std::optional<TTimeSpan> VisibleSpan() const;
    // Zooms by factor (below 1: in) keeping the time under pixel x of the widget in place.
    void ZoomAt(int x, double factor);
    void PanBy(int pixels);
    void ResetZoom();
    bool SaveAsPng(const QString& fileName);
    QRect PlotArea() const;
    // The value axis's labels from 0 up to top in the given number of steps, each with the decimals its
    // step needs (a 0 to 1 ms axis reads 0.0, 0.2, ... 1.0).
    static QStringList ValueAxisLabels(int32_t top, int steps);

    // The visible span changed by zooming, panning or resetting.
    std::function<void()> OnVisibleSpanChanged;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void SetView(TTimeSpan span);
    void DrawTimeAxis(QPainter& painter, const QRect& plot, TTimeSpan span) const;
    void DrawValueAxis(QPainter& painter, const QRect& plot, int32_t top) const;
    void DrawOutages(QPainter& painter, const QRect& plot, TTimeSpan span) const;
    void DrawColumns(QPainter& painter, const QRect& plot, int32_t top) const;
    int XOf(const QRect& plot, TTimeSpan span, int64_t timeMs) const;

    const TMemTable& m_table;
    std::vector<TOutage> m_outages;
    TChartColumns m_columns;
    std::optional<TTimeSpan> m_fullSpan;
    bool m_zoomed = false;
    TTimeSpan m_view;
    std::optional<int> m_dragX;
    TTimeSpan m_dragStartView;
};
