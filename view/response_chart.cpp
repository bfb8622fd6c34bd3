#include "view/response_chart.h"

#include "core/error_box.h"
#include "core/platform.h"
#include "core/text_codec.h"
#include "log/locale_format.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t MinSpanMs = 1000;
constexpr int64_t Second = 1000;
constexpr int64_t Minute = 60 * Second;
constexpr int64_t Hour = 60 * Minute;
constexpr int64_t Day = 24 * Hour;

// The smallest round step that leaves at least minPixels between ticks.
int64_t TimeStep(int64_t lengthMs, int widthPixels, int minPixels) {
    static const int64_t steps[] = {Second,     2 * Second, 5 * Second,  10 * Second, 15 * Second, 30 * Second,
                                    Minute,     2 * Minute, 5 * Minute,  10 * Minute, 15 * Minute, 30 * Minute,
                                    Hour,       2 * Hour,   3 * Hour,    6 * Hour,    12 * Hour,   Day,
                                    2 * Day,    7 * Day,    14 * Day,    30 * Day,    91 * Day,    365 * Day};
    for (const int64_t step : steps)
        if (static_cast<double>(step) / static_cast<double>(lengthMs) * widthPixels >= minPixels)
            return step;
    return steps[std::size(steps) - 1];
}

// A round top for the value axis: 1, 2 or 5 times a power of ten, at least the greatest value.
int32_t ValueAxisTop(int32_t maxValue) {
    double step = 1;
    while (true) {
        for (const double factor : {1.0, 2.0, 5.0})
            if (step * factor >= maxValue)
                return static_cast<int32_t>(step * factor);
        step *= 10;
    }
}

QString TimeLabel(int64_t timeMs, bool withDate) {
    const TLocaleFormat format;
    const TDateTime time = static_cast<TDateTime>(timeMs) / MSecsPerDay;
    const TTimeParts parts = DecodeTime(time);
    std::string text;
    if (withDate)
        text = format.ShortDateText(DecodeDate(time));
    if (!withDate || parts.hour != 0 || parts.minute != 0 || parts.second != 0) {
        if (!text.empty())
            text += ' ';
        format.AppendTimeOfDay(text, parts.hour, parts.minute, parts.second);
    }
    return FromCp1251(text);
}

} // namespace

TResponseChart::TResponseChart(const TMemTable& table, QWidget* parent) : QWidget(parent), m_table(table) {
    setMinimumSize(300, 160);
    setMouseTracking(false);
}

void TResponseChart::SetFullSpan(std::optional<TTimeSpan> span) {
    m_fullSpan = span;
    update();
}

std::optional<TTimeSpan> TResponseChart::VisibleSpan() const {
    if (m_zoomed)
        return m_view;
    if (!m_fullSpan)
        return std::nullopt;
    // A log of one row, or of rows in one second, still gets a readable axis.
    TTimeSpan span = *m_fullSpan;
    if (span.toMs - span.fromMs < MinSpanMs) {
        const int64_t middle = span.fromMs + (span.toMs - span.fromMs) / 2;
        span = {middle - MinSpanMs / 2, middle + MinSpanMs / 2};
    }
    return span;
}

void TResponseChart::ZoomAt(int x, double factor) {
    const std::optional<TTimeSpan> span = VisibleSpan();
    if (!span)
        return;
    const QRect plot = PlotArea();
    const double share = std::clamp(static_cast<double>(x - plot.left()) / std::max(plot.width(), 1), 0.0, 1.0);
    const double length = static_cast<double>(span->toMs - span->fromMs);
    const double anchor = static_cast<double>(span->fromMs) + share * length;
    const double newLength = std::max(length * factor, static_cast<double>(MinSpanMs));
    const auto from = static_cast<int64_t>(std::llround(anchor - share * newLength));
    SetView({from, from + static_cast<int64_t>(std::llround(newLength))});
}

void TResponseChart::PanBy(int pixels) {
    const std::optional<TTimeSpan> span = VisibleSpan();
    if (!span)
        return;
    const int64_t shift = (span->toMs - span->fromMs) * pixels / std::max(PlotArea().width(), 1);
    SetView({span->fromMs - shift, span->toMs - shift});
}

void TResponseChart::ResetZoom() {
    if (!m_zoomed)
        return;
    m_zoomed = false;
    update();
    if (OnVisibleSpanChanged)
        OnVisibleSpanChanged();
}

bool TResponseChart::SaveAsPng(const QString& fileName) { return grab().save(fileName, "PNG"); }

QRect TResponseChart::PlotArea() const {
    const int valueLabels = fontMetrics().horizontalAdvance("0000000") + 8;
    const int timeLabels = fontMetrics().height() + 8;
    return rect().adjusted(valueLabels, fontMetrics().height() + 4, -10, -timeLabels);
}

void TResponseChart::SetView(TTimeSpan span) {
    m_view = span;
    m_zoomed = true;
    update();
    if (OnVisibleSpanChanged)
        OnVisibleSpanChanged();
}

void TResponseChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect plot = PlotArea();
    painter.setPen(palette().mid().color());
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    const std::optional<TTimeSpan> span = VisibleSpan();
    if (!span || plot.width() <= 0 || plot.height() <= 0)
        return;
    m_columns.Compute(m_table, *span, plot.width());
    const int32_t top = ValueAxisTop(std::max(m_columns.MaxValue(), 1));
    DrawOutages(painter, plot, *span);
    DrawColumns(painter, plot, top);
    DrawValueAxis(painter, plot, top);
    DrawTimeAxis(painter, plot, *span);
}

void TResponseChart::SetOutages(std::vector<TOutage> outages) {
    m_outages = std::move(outages);
    update();
}

void TResponseChart::DrawOutages(QPainter& painter, const QRect& plot, TTimeSpan span) const {
    for (const TOutage& outage : m_outages) {
        if (outage.endMs < span.fromMs || outage.startMs > span.toMs)
            continue;
        const int left = XOf(plot, span, std::max(outage.startMs, span.fromMs));
        const int right = XOf(plot, span, std::min(outage.endMs, span.toMs));
        painter.fillRect(QRect(QPoint(left, plot.top()), QPoint(right, plot.bottom())), QColor(255, 0, 0, 40));
    }
}

void TResponseChart::DrawColumns(QPainter& painter, const QRect& plot, int32_t top) const {
    const auto yOf = [&plot, top](int32_t value) {
        return plot.bottom() - static_cast<int>(static_cast<int64_t>(std::max(value, 0)) * plot.height() / top);
    };
    const QPen valuePen(QColor(30, 90, 200));
    const QPen failurePen(QColor(220, 0, 0), 1);
    std::optional<QPoint> previous;
    for (int x = 0; x < m_columns.Width(); ++x) {
        const TChartColumn& column = m_columns.Column(x);
        const int px = plot.left() + x;
        if (column.hasFailure) {
            painter.setPen(failurePen);
            painter.drawLine(px, plot.top(), px, plot.top() + 6);
            previous.reset(); // an outage breaks the line
        }
        if (!column.hasValue)
            continue;
        painter.setPen(valuePen);
        const QPoint middle(px, (yOf(column.min) + yOf(column.max)) / 2);
        if (previous)
            painter.drawLine(*previous, middle);
        painter.drawLine(px, yOf(column.min), px, yOf(column.max));
        previous = middle;
    }
}

void TResponseChart::DrawValueAxis(QPainter& painter, const QRect& plot, int32_t top) const {
    painter.setPen(palette().text().color());
    const int lines = std::max(1, std::min(5, plot.height() / (fontMetrics().height() * 2)));
    const QStringList labels = ValueAxisLabels(top, lines);
    for (int i = 0; i <= lines; ++i) {
        const int y = plot.bottom() - plot.height() * i / lines;
        painter.drawText(QRect(0, y - fontMetrics().height() / 2, plot.left() - 4, fontMetrics().height()),
                         Qt::AlignRight | Qt::AlignVCenter, labels[i]);
        painter.drawLine(plot.left() - 3, y, plot.left(), y);
    }
    painter.drawText(QRect(0, 0, plot.left() - 4, fontMetrics().height()), Qt::AlignLeft | Qt::AlignTop, "ms");
}

QStringList TResponseChart::ValueAxisLabels(int32_t top, int steps) {
    // A step of top / steps needs as many decimals as it takes to write it exactly (at most three).
    int decimals = 0;
    for (int64_t scale = 1; decimals < 3 && static_cast<int64_t>(top) * scale % steps != 0; scale *= 10)
        ++decimals;
    QStringList labels;
    for (int i = 0; i <= steps; ++i)
        labels << QString::number(static_cast<double>(top) * i / steps, 'f', decimals);
    return labels;
}

void TResponseChart::DrawTimeAxis(QPainter& painter, const QRect& plot, TTimeSpan span) const {
    const int64_t length = std::max<int64_t>(span.toMs - span.fromMs, 1);
    const bool withDate = length > Day;
    const int labelWidth = fontMetrics().horizontalAdvance(TimeLabel(span.toMs, withDate)) + 16;
    const int64_t step = TimeStep(length, plot.width(), labelWidth);
    painter.setPen(palette().text().color());
    for (int64_t tick = (span.fromMs + step - 1) / step * step; tick <= span.toMs; tick += step) {
        const int x = XOf(plot, span, tick);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 3);
        painter.drawText(QRect(x - labelWidth / 2, plot.bottom() + 4, labelWidth, fontMetrics().height()),
                         Qt::AlignHCenter | Qt::AlignTop, TimeLabel(tick, withDate && step >= Hour));
    }
}

int TResponseChart::XOf(const QRect& plot, TTimeSpan span, int64_t timeMs) const {
    const int64_t length = std::max<int64_t>(span.toMs - span.fromMs, 1);
    return plot.left() + static_cast<int>((timeMs - span.fromMs) * (plot.width() - 1) / length);
}

void TResponseChart::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        ZoomAt(static_cast<int>(event->position().x()), std::pow(0.8, steps));
    event->accept();
}

void TResponseChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && VisibleSpan()) {
        m_dragX = static_cast<int>(event->position().x());
        m_dragStartView = *VisibleSpan();
    }
}

void TResponseChart::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragX)
        return;
    const int dx = static_cast<int>(event->position().x()) - *m_dragX;
    const int64_t shift = (m_dragStartView.toMs - m_dragStartView.fromMs) * dx / std::max(PlotArea().width(), 1);
    if (shift != 0)
        SetView({m_dragStartView.fromMs - shift, m_dragStartView.toMs - shift});
}

void TResponseChart::mouseReleaseEvent(QMouseEvent*) { m_dragX.reset(); }

void TResponseChart::mouseDoubleClickEvent(QMouseEvent*) {
    m_dragX.reset();
    ResetZoom();
}

void TResponseChart::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* save = menu.addAction("Save chart as PNG...");
    if (menu.exec(event->globalPos()) != save)
        return;
    QString fileName = QFileDialog::getSaveFileName(this, "Save chart as PNG", QString(), "PNG images (*.png)");
    if (fileName.isEmpty())
        return;
    if (!fileName.endsWith(".png", Qt::CaseInsensitive))
        fileName += ".png";
    if (!SaveAsPng(fileName))
        QMessageBox::critical(this, QString::fromStdString(ApplicationTitle(ExecutablePath())),
                              QString("Cannot save the chart to \"%1\".").arg(fileName));
}
