#include "charts/ChartControl.h"
#include "charts/ChartParts.h"
#include "charts/ChartRules.h"
#include "core/TwError.h"

#include <QApplication>
#include <QPrinter>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace {
QSize outputSize(const QWidget* w)
{
    if (w->isVisible() && w->width() >= 200 && w->height() >= 150) return w->size();
    return QSize(960, 600);
}

QFont boldFont(int pointDelta = 0)
{
    QFont f = QApplication::font();
    f.setBold(true);
    if (pointDelta && f.pointSizeF() > 0) f.setPointSizeF(f.pointSizeF() + pointDelta);
    return f;
}
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

ChartControl::ChartControl(QWidget* parent) : QWidget(parent)
{
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    m_plot = new PlotSurface(this);
    m_plot->setObjectName(QStringLiteral("plot"));
    box->addWidget(m_plot);

    m_plot->setBackground(Qt::white);
    m_plot->setAutoAddPlottableToLegend(false);
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->setPlottingHint(QCP::phCacheLabels, true);
    // Wide lines over many points: the fast polyline drawing keeps redraws quick.
    m_plot->setPlottingHint(QCP::phFastPolylines, true);
    connect(m_plot, &QCustomPlot::beforeReplot, this, [this] {
        sampleSeries(screenColumns());
        fitMarkersToDensity();
        fitEdgeRoom();
    });

    // Layout: the title on top, then the data area with the legend to its right, then the
    // line that shows a clicked point.
    QCPLayoutGrid* main = m_plot->plotLayout();
    QCPAxisRect* rect = m_plot->axisRect();
    main->take(rect);
    main->simplify();
    m_title = new QCPTextElement(m_plot, QString(), boldFont(2));
    m_title->setTextColor(Qt::black);
    main->addElement(0, 0, m_title);
    auto* body = new QCPLayoutGrid;
    main->addElement(1, 0, body);
    body->addElement(0, 0, rect);
    m_legendColumn = new QCPLayoutGrid;
    body->addElement(0, 1, m_legendColumn);
    body->setColumnStretchFactor(1, 0.001);
    body->setColumnSpacing(14);  // room for the last sloping date label
    rect->insetLayout()->take(m_plot->legend);
    m_legendColumn->addElement(0, 0, m_plot->legend);
    m_legendColumn->addElement(1, 0, new QCPLayoutElement(m_plot));  // takes the room below the legend
    m_legendColumn->setRowStretchFactor(0, 0.001);
    m_legendColumn->setMargins(QMargins(4, 8, 6, 4));
    m_annotation = new QCPTextElement(m_plot, QStringLiteral(" "), boldFont());
    m_annotation->setTextColor(QColor(60, 60, 60));
    main->addElement(2, 0, m_annotation);
    main->setRowStretchFactor(0, 0.001);
    main->setRowStretchFactor(2, 0.001);

    QCPLegend* legend = m_plot->legend;
    legend->setVisible(true);
    legend->setFont(boldFont());
    legend->setBorderPen(QPen(QColor(128, 128, 128), 1));
    legend->setIconSize(15, 10);
    legend->setRowSpacing(3);
    legend->setSelectableParts(QCPLegend::spNone);

    for (QCPAxis* a : {m_plot->xAxis, m_plot->yAxis, m_plot->yAxis2}) {
        a->setBasePen(QPen(Qt::black, 1));
        a->setTickPen(QPen(Qt::black, 1));
        a->setSubTickPen(QPen(Qt::black, 1));
        a->setTickLabelFont(boldFont());
        a->setLabelFont(boldFont());
        a->grid()->setPen(QPen(QColor(192, 192, 192), 1, Qt::SolidLine));
        a->grid()->setSubGridVisible(false);
    }
    m_leftTicker = new ValueTicker(m_plot->yAxis);
    m_plot->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(m_leftTicker));
    m_bottomTicker = new ValueTicker(m_plot->xAxis);
    m_bottomTicker->setPixelsPerLabel(50);
    m_plot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(m_bottomTicker));
    m_plot->yAxis2->setTicker(QSharedPointer<QCPAxisTicker>(new ValueTicker(m_plot->yAxis2)));
    m_plot->yAxis2->setTickLabels(true);
    m_plot->yAxis2->setVisible(false);

    m_plot->onZoomDrag = [this](const QPoint& a, const QPoint& b) { handleZoom(a, b); };
    m_plot->onAxisDrag = [this](bool vertical, int px) { handleAxisDrag(vertical ? Axis::Left : Axis::Bottom, px); };
    connect(m_plot, &QCustomPlot::plottableClick, this, [this](QCPAbstractPlottable* p, int dataIndex, QMouseEvent*) {
        for (int i = 0; i < seriesCount(); ++i)
            if (m_series[size_t(i)].graph == p) onPointClicked(i, dataIndex);
    });
    connect(m_plot, &QCustomPlot::legendClick, this, [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
        if (auto* check = dynamic_cast<CheckLegendItem*>(item))
            if (auto* g = qobject_cast<QCPGraph*>(check->plottable())) onLegendToggled(g);
    });
}

ChartControl::~ChartControl() = default;

QCPAxis* ChartControl::qcpAxis(Axis axis) const { return axis == Axis::Left ? m_plot->yAxis : m_plot->xAxis; }

void ChartControl::checkIndex(int index) const
{
    if (index < 0 || index >= seriesCount())
        throw TwError(ErrNo::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

// ----- set-up -----------------------------------------------------------------------------
void ChartControl::setSeriesCount(int count)
{
    while (seriesCount() < count) {
        Series s;
        s.graph = new EdgeGraph(m_plot->xAxis, m_plot->yAxis);
        s.graph->setVisible(false);
        s.graph->setLineStyle(QCPGraph::lsLine);
        s.graph->setAdaptiveSampling(true);
        m_series.push_back(s);
        m_kept.emplace_back();
        setSeriesColour(seriesCount() - 1, Qt::black);
        setSeriesMarkerSize(seriesCount() - 1, 7);
    }
    rebuildLegend();
}

void ChartControl::setSeriesColour(int index, const QColor& colour)
{
    checkIndex(index);
    QCPGraph* g = m_series[size_t(index)].graph;
    m_series[size_t(index)].dense = false;
    g->setPen(QPen(colour, 2));
    g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, QPen(colour, 1), QBrush(colour),
                                       m_series[size_t(index)].markerSize));
}

void ChartControl::setSeriesMarkerSize(int index, double pixels)
{
    checkIndex(index);
    QCPGraph* g = m_series[size_t(index)].graph;
    m_series[size_t(index)].markerSize = pixels;
    m_series[size_t(index)].dense = false;
    const QColor c = g->pen().color();
    g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, QPen(c, 1), QBrush(c), pixels));
}

void ChartControl::setDateTimeAxis(bool on)
{
    m_dateTime = on;
    if (on) {
        if (!m_timeTicker) {
            m_timeTicker = new TimeTicker(m_plot->xAxis);
            m_bottomTicker = nullptr;
        }
        m_plot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(m_timeTicker));
        m_timeTicker->setFormat(m_bottom.format.isEmpty() ? QStringLiteral("yyyy/MM/dd") : m_bottom.format);
    }
}

void ChartControl::setLabelAngle(Axis axis, double degrees)
{
    // Counter-clockwise angles (345 = 15 degrees below the horizontal to the right).
    double a = std::fmod(360.0 - degrees, 360.0);
    if (a > 90) a -= 360;
    qcpAxis(axis)->setTickLabelRotation(a);
}

void ChartControl::setLabelDecimals(Axis axis, int decimals)
{
    ValueTicker* t = axis == Axis::Left ? m_leftTicker : m_bottomTicker;
    if (t) t->setDecimals(std::max(-1, decimals));
}

void ChartControl::setPrintMargins(const QMarginsF& percent) { m_printMargins = percent; }

// ----- title --------------------------------------------------------------------------------
void ChartControl::clearTitle()
{
    m_titleLines.clear();
    updateTitle();
}

void ChartControl::addTitleLine(const QString& line)
{
    m_titleLines << line;
    updateTitle();
}

void ChartControl::updateTitle()
{
    m_title->setText(m_titleLines.isEmpty() ? QStringLiteral(" ") : m_titleLines.join('\n'));
    schedule();
}

// ----- axes ---------------------------------------------------------------------------------
void ChartControl::setAxisTitle(Axis axis, const QString& title)
{
    qcpAxis(axis)->setLabel(title);
    schedule();
}

QString ChartControl::axisTitle(Axis axis) const { return qcpAxis(axis)->label(); }

void ChartControl::setAutomatic(Axis axis, bool automatic)
{
    AxisState& s = state(axis);
    if (!automatic && s.automatic) {
        // Fixing the limits keeps those in force now.
        s.min = dataMinimum(axis);
        s.max = dataMaximum(axis);
    }
    s.automatic = automatic;
    m_zoomed = false;
    schedule();
}

bool ChartControl::isAutomatic(Axis axis) const { return state(axis).automatic; }

void ChartControl::setMinimum(Axis axis, double value)
{
    AxisState& s = state(axis);
    if (s.automatic) s.max = maximum(axis);
    s.min = value;
    s.automatic = false;
    m_zoomed = false;
    schedule();
}

void ChartControl::setMaximum(Axis axis, double value)
{
    AxisState& s = state(axis);
    if (s.automatic) s.min = minimum(axis);
    s.max = value;
    s.automatic = false;
    m_zoomed = false;
    schedule();
}

double ChartControl::minimum(Axis axis) const { return state(axis).automatic ? dataMinimum(axis) : state(axis).min; }

double ChartControl::maximum(Axis axis) const { return state(axis).automatic ? dataMaximum(axis) : state(axis).max; }

void ChartControl::setIncrement(Axis axis, double step)
{
    state(axis).increment = step;
    schedule();
}

double ChartControl::increment(Axis axis) const { return state(axis).increment; }

void ChartControl::setDateTimeFormat(Axis axis, const QString& qtFormat)
{
    state(axis).format = qtFormat;
    if (axis == Axis::Bottom && m_timeTicker) m_timeTicker->setFormat(qtFormat);
    schedule();
}

QString ChartControl::dateTimeFormat(Axis axis) const { return state(axis).format; }

void ChartControl::setDateTimeStep(Axis axis, TimeStep step)
{
    state(axis).step = step;
    schedule();
}

ChartControl::TimeStep ChartControl::dateTimeStep(Axis axis) const { return state(axis).step; }

double ChartControl::shownLower(Axis axis) const { return qcpAxis(axis)->range().lower; }
double ChartControl::shownUpper(Axis axis) const { return qcpAxis(axis)->range().upper; }

QStringList ChartControl::tickLabels(Axis axis)
{
    refresh();
    QStringList labels;
    const QCPRange r = qcpAxis(axis)->range();
    const QVector<double> ticks = qcpAxis(axis)->tickVector();
    const QVector<QString> texts = qcpAxis(axis)->tickVectorLabels();
    for (int i = 0; i < ticks.size() && i < texts.size(); ++i)
        if (ticks[i] >= r.lower - 1e-9 * std::max(1.0, std::fabs(r.lower)) &&
            ticks[i] <= r.upper + 1e-9 * std::max(1.0, std::fabs(r.upper)))
            labels << texts[i];
    return labels;
}

void ChartControl::applyAxes()
{
    if (!m_zoomed) {
        for (Axis axis : {Axis::Left, Axis::Bottom}) {
            const AxisState& s = state(axis);
            double lo = minimum(axis), hi = maximum(axis);
            if (s.automatic && hi - lo <= 0) {
                // One value (or none): centre it in a small range.
                const double pad = (axis == Axis::Bottom && m_dateTime) ? 3600 : std::max(1.0, std::fabs(lo) * 0.1);
                lo -= pad;
                hi += pad;
            }
            if (lo == hi) hi = lo + 1;
            qcpAxis(axis)->setRange(std::min(lo, hi), std::max(lo, hi));
        }
    }
    applyOwnAxis();
    m_leftTicker->setIncrement(m_left.increment);
    if (m_dateTime && m_timeTicker) {
        const double fixed = m_bottom.step == TimeStep::TwoHours   ? 7200
                             : m_bottom.step == TimeStep::SixHours ? 21600
                                                                   : 0;
        m_timeTicker->setFixedStep(fixed);
    } else if (m_bottomTicker) {
        m_bottomTicker->setIncrement(m_bottom.increment);
    }
}

// ----- series -------------------------------------------------------------------------------
void ChartControl::clearSeries(int index)
{
    checkIndex(index);
    dropWhole(m_series[size_t(index)]);
    m_series[size_t(index)].graph->data()->clear();
    m_zoomed = false;
    schedule();
}

void ChartControl::setSeriesVisible(int index, bool visible)
{
    checkIndex(index);
    Series& s = m_series[size_t(index)];
    s.inUse = visible;
    s.checked = true;
    s.graph->setVisible(visible);
    if (!visible) {
        dropWhole(s);
        s.graph->data()->clear();
    }
    rebuildLegend();
    schedule();
}

bool ChartControl::isSeriesVisible(int index) const
{
    checkIndex(index);
    return m_series[size_t(index)].graph->visible();
}

void ChartControl::setSeriesTitle(int index, const QString& title)
{
    checkIndex(index);
    m_series[size_t(index)].title = title;
    m_series[size_t(index)].graph->setName(title);
    schedule();
}

QString ChartControl::seriesTitle(int index) const
{
    checkIndex(index);
    return m_series[size_t(index)].title;
}

QColor ChartControl::seriesColour(int index) const
{
    checkIndex(index);
    return m_series[size_t(index)].graph->pen().color();
}

// ----- legend -------------------------------------------------------------------------------
void ChartControl::setLegendTitle(const QString& title)
{
    m_legendTitle = title;
    rebuildLegend();
}

void ChartControl::rebuildLegend()
{
    QCPLegend* legend = m_plot->legend;
    legend->clearItems();
    if (!m_legendTitle.isEmpty()) legend->addItem(new LegendTitleItem(legend, m_legendTitle));
    for (const Series& s : m_series)
        if (s.inUse) legend->addItem(new CheckLegendItem(legend, s.graph));
    schedule();
}

QStringList ChartControl::legendEntries() const
{
    QStringList out;
    for (const Series& s : m_series)
        if (s.inUse) out << s.title;
    return out;
}

void ChartControl::setSeriesChecked(int index, bool checked)
{
    checkIndex(index);
    Series& s = m_series[size_t(index)];
    if (!s.inUse || s.checked == checked) return;
    s.checked = checked;
    s.graph->setVisible(checked);
    schedule();
    emit seriesCheckedChanged(index, checked);
}

bool ChartControl::isSeriesChecked(int index) const
{
    checkIndex(index);
    return m_series[size_t(index)].inUse && m_series[size_t(index)].checked;
}

QRect ChartControl::legendEntryArea(int index) const
{
    checkIndex(index);
    QCPLegend* legend = m_plot->legend;
    for (int i = 0; i < legend->itemCount(); ++i)
        if (auto* item = dynamic_cast<QCPPlottableLegendItem*>(legend->item(i)))
            if (item->plottable() == m_series[size_t(index)].graph) return item->rect().translated(m_plot->pos());
    return QRect();
}

void ChartControl::onLegendToggled(QCPGraph* graph)
{
    for (int i = 0; i < seriesCount(); ++i)
        if (m_series[size_t(i)].graph == graph) setSeriesChecked(i, !m_series[size_t(i)].checked);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

// ----- mouse --------------------------------------------------------------------------------
QRect ChartControl::plotArea() const { return m_plot->axisRect()->rect().translated(m_plot->pos()); }

void ChartControl::dragZoom(const QPoint& from, const QPoint& to)
{
    layOutWhileHidden();
    applyAxes();
    m_plot->replot(QCustomPlot::rpImmediateRefresh);  // places the data area
    handleZoom(from - m_plot->pos(), to - m_plot->pos());
}

void ChartControl::handleZoom(const QPoint& from, const QPoint& to)
{
    if (to.x() > from.x()) {
        QCPAxis* x = m_plot->xAxis;
        const double x1 = x->pixelToCoord(from.x()), x2 = x->pixelToCoord(to.x());
        x->setRange(std::min(x1, x2), std::max(x1, x2));
        for (QCPAxis* y : {m_plot->yAxis, m_plot->yAxis2}) {
            const double y1 = y->pixelToCoord(from.y()), y2 = y->pixelToCoord(to.y());
            y->setRange(std::min(y1, y2), std::max(y1, y2));
        }
        m_zoomed = true;
    } else {
        m_zoomed = false;
        applyAxes();
    }
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
}

void ChartControl::scrollAxis(Axis axis, int pixels)
{
    layOutWhileHidden();
    applyAxes();
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
    handleAxisDrag(axis, pixels);
}

void ChartControl::handleAxisDrag(Axis axis, int pixels)
{
    if (pixels == 0) return;
    QCPAxis* a = qcpAxis(axis);
    const double ref = axis == Axis::Left ? a->axisRect()->center().y() : a->axisRect()->center().x();
    const double shift = a->pixelToCoord(ref) - a->pixelToCoord(ref + pixels);
    a->moveRange(shift);
    m_zoomed = true;  // the view now differs from the limits as drawn
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ChartControl::onPointClicked(int series, int dataIndex)
{
    const QCPGraph* g = m_series[size_t(series)].graph;
    if (dataIndex < 0 || dataIndex >= g->data()->size()) return;
    const auto it = g->data()->at(dataIndex);
    QString x;
    if (m_dateTime) {
        const QChar ds = ChartRules::systemDateSeparator(), ts = ChartRules::systemTimeSeparator();
        const QDateTime dt = ChartRules::keyDateTime(it->key);
        x = ChartRules::formatDate(dt.date(), ds) + ' ' + dt.toString(QStringLiteral("HH")) + ts +
            dt.toString(QStringLiteral("mm")) + ts + dt.toString(QStringLiteral("ss"));
    } else {
        x = QString::number(it->key, 'f', 2);
    }
    m_annotation->setText(m_series[size_t(series)].title + QStringLiteral(":   ") + x + QStringLiteral("   ") +
                          QString::number(it->value, 'f', 3));
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QString ChartControl::annotation() const { return m_annotation->text().trimmed(); }

bool ChartControl::isSeriesMarked(int index) const
{
    checkIndex(index);
    return m_series[size_t(index)].graph->scatterStyle().shape() == QCPScatterStyle::ssDiamond;
}

// ----- output -------------------------------------------------------------------------------
void ChartControl::schedule()
{
    // Many changes in a row make one redraw, once control returns to the event loop.
    if (m_pending) return;
    m_pending = true;
    QPointer<ChartControl> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self || !self->m_pending) return;
        self->m_pending = false;
        self->applyAxes();
        self->m_plot->replot(QCustomPlot::rpQueuedReplot);
    });
}

void ChartControl::refresh()
{
    m_pending = false;
    layOutWhileHidden();
    applyAxes();
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
}

void ChartControl::layOutWhileHidden()
{
    // A chart on a tab not yet shown has no size of its own: give it the size it is
    // exported at, so that its labels and data area are those of a real chart.
    if (!isVisible() && m_plot->width() < 200) m_plot->resize(outputSize(this));
}

void ChartControl::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // A top margin of 2 per cent of the panel.
    m_plot->plotLayout()->setMargins(QMargins(0, height() * 2 / 100, 0, 0));
}

bool ChartControl::saveJpeg(const QString& path)
{
    applyAxes();
    const QSize s = outputSize(this);
    sampleSeries(s.width());
    return m_plot->saveJpg(path, s.width(), s.height(), 1.0, 92);
}

QImage ChartControl::render(const QSize& size)
{
    applyAxes();
    sampleSeries(size.width());
    return m_plot->toPixmap(size.width(), size.height(), 1.0).toImage();
}

QImage ChartControl::renderForReport(const QSize& logical, double scale)
{
    applyAxes();
    // Drawing to a picture does not replot, so the lines are sampled for its width here (a
    // chart never shown has not been sampled at all).
    sampleSeries(logical.width());
    QCPLegend* legend = m_plot->legend;
    // The legend as a list: the title and the lines shown, no check boxes.
    legend->clearItems();
    if (!m_legendTitle.isEmpty()) legend->addItem(new LegendTitleItem(legend, m_legendTitle));
    for (const Series& s : m_series)
        if (s.inUse && s.graph->visible()) legend->addItem(new QCPPlottableLegendItem(legend, s.graph));
    const QImage picture = m_plot->toPixmap(logical.width(), logical.height(), scale).toImage();
    rebuildLegend();  // the chart on screen as it was
    return picture;
}

bool ChartControl::print(QPrinter& printer)
{
    applyAxes();
    QCPPainter painter;
    if (!painter.begin(&printer)) return false;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const double W = printer.width(), H = printer.height();
    const QMarginsF& m = m_printMargins;
    const QRectF target(W * m.left() / 100.0, H * m.top() / 100.0, W * (1 - (m.left() + m.right()) / 100.0),
                        H * (1 - (m.top() + m.bottom()) / 100.0));
    if (target.width() <= 0 || target.height() <= 0) return false;
    // The chart is laid out at screen size and scaled to fill the area between the margins.
    const int w = std::max(outputSize(this).width(), 800);
    const double scale = target.width() / w;
    const int h = int(target.height() / scale);
    painter.translate(target.topLeft());
    painter.scale(scale, scale);
    sampleSeries(w);
    m_plot->toPainter(&painter, w, h);
    return painter.end();
}
