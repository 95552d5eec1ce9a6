#pragma once
// The pieces of ChartControl that extend QCustomPlot: the label tickers, the legend's
// check-box entries and title, and the plot surface that turns mouse drags into axis
// scrolling and rectangle zoom.
#include <qcustomplot.h>

#include <functional>

// Value labels at a fixed increment; when more labels would fit than the axis has room
// for, a whole multiple of the increment is used, so labels never run into each other.
class ValueTicker : public QCPAxisTicker {
public:
    explicit ValueTicker(QCPAxis* axis) : m_axis(axis) {}
    void setIncrement(double step) { m_increment = step; }
    double incrementStep() const { return m_increment; }
    void setPixelsPerLabel(int px) { m_pixelsPerLabel = px; }
    // Fixed label decimals; -1 (the default): as many as the step in use needs.
    void setDecimals(int decimals) { m_decimals = decimals; }

protected:
    // The increment, or a round multiple of it when its labels would crowd; a round step
    // for the room when there is no increment or the view is zoomed in past it.
    double getTickStep(const QCPRange& range) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;

private:
    QCPAxis* m_axis;
    double m_increment = 0;
    int m_pixelsPerLabel = 22;
    int m_decimals = -1;
    double m_step = 1;  // the step of the ticks last made
};

// Date-time labels for chart keys that hold wall-clock times as seconds since 1970 (no
// time zone): fixed steps of hours, or automatic steps aligned on whole days and months.
class TimeTicker : public QCPAxisTickerDateTime {
public:
    explicit TimeTicker(QCPAxis* axis);
    void setFixedStep(double seconds) { m_fixed = seconds; }
    void setFormat(const QString& qtFormat);
    QString format() const { return m_format; }

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override;

private:
    QCPAxis* m_axis;
    double m_fixed = 0;
    bool m_dateOnly = true;
    QString m_format = QStringLiteral("yyyy/MM/dd");
};

// A line whose markers may reach a few pixels past the data area: a point on the edge
// (the first reading, a value at the axis's limit) shows its whole diamond or ring instead
// of half of it. Zoomed or scrolled views clip at the edge as usual.
class EdgeGraph : public QCPGraph {
public:
    EdgeGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}
    void setEdgeRoom(int pixels) { m_room = pixels; }
    int edgeRoom() const { return m_room; }

protected:
    QRect clipRect() const override { return QCPGraph::clipRect().adjusted(-m_room, -m_room, m_room, m_room); }

private:
    int m_room = 0;
};

// A legend entry with a check box before the series symbol; the box shows whether the
// series is drawn.
class CheckLegendItem : public QCPPlottableLegendItem {
public:
    CheckLegendItem(QCPLegend* parent, QCPAbstractPlottable* plottable) : QCPPlottableLegendItem(parent, plottable) {}
    static constexpr int BoxGap = 5;

protected:
    void draw(QCPPainter* painter) override;
    QSize minimumOuterSizeHint() const override;

private:
    int boxSize() const;
};

// The legend's title line.
class LegendTitleItem : public QCPAbstractLegendItem {
public:
    LegendTitleItem(QCPLegend* parent, const QString& text) : QCPAbstractLegendItem(parent), m_text(text) {}
    QString text() const { return m_text; }

protected:
    void draw(QCPPainter* painter) override;
    QSize minimumOuterSizeHint() const override;

private:
    QString m_text;
};

// The plot widget: a drag on an axis scrolls along it, a drag inside the data area draws a
// rectangle that zooms (left to right) or undoes the zoom (right to left). Clicks pass
// through to QCustomPlot, which reports points and legend entries.
class PlotSurface : public QCustomPlot {
public:
    explicit PlotSurface(QWidget* parent) : QCustomPlot(parent) {}
    std::function<void(const QPoint&, const QPoint&)> onZoomDrag;
    std::function<void(bool vertical, int pixels)> onAxisDrag;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    enum class Drag { None, Zoom, LeftAxis, BottomAxis };
    Drag m_drag = Drag::None;
    QPoint m_start;
    QPoint m_last;
    QRubberBand* m_band = nullptr;
};
