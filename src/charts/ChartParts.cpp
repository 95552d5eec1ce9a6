#include "charts/ChartParts.h"
#include "charts/ChartRules.h"

#include <QRubberBand>
#include <cmath>

// ---------------------------------------------------------------------------------------
double ValueTicker::getTickStep(const QCPRange& range)
{
    int room = 10;
    if (m_axis && m_axis->axisRect()) {
        const int pixels =
            m_axis->orientation() == Qt::Vertical ? m_axis->axisRect()->height() : m_axis->axisRect()->width();
        room = std::max(2, pixels / std::max(1, m_pixelsPerLabel));
    }
    const double size = range.size() > 0 ? range.size() : 1;
    if (m_increment > 0 && size / m_increment >= 1.5) {
        // The increment, or the smallest round multiple of it whose labels fit.
        m_step = size / m_increment <= room ? m_increment : ChartRules::crowdedStep(m_increment, size / room);
    } else {
        // No increment, or zoomed in so far that it would leave fewer than two labels.
        m_step = ChartRules::roundStep(size / std::min(room, 8));
    }
    return m_step;
}

QString ValueTicker::getTickLabel(double tick, const QLocale& locale, QChar, int)
{
    const int decimals = m_decimals >= 0 ? m_decimals : ChartRules::stepDecimals(m_step);
    if (std::fabs(tick) < m_step * 1e-9) tick = 0;  // no "-0.0"
    return locale.toString(tick, 'f', decimals);
}

// ---------------------------------------------------------------------------------------
namespace {
constexpr double Day = 86400.0;
constexpr double Month = Day * 30.4375;
}  // namespace

TimeTicker::TimeTicker(QCPAxis* axis) : m_axis(axis)
{
    // Keys already hold the wall-clock time; the labels never convert to local time.
    setDateTimeSpec(Qt::UTC);
    setTickOrigin(0);
}

void TimeTicker::setFormat(const QString& qtFormat)
{
    m_format = qtFormat;
    QString unquoted;
    bool quoted = false;
    for (const QChar c : qtFormat) {
        if (c == '\'') quoted = !quoted;
        else if (!quoted) unquoted += c;
    }
    m_dateOnly =
        !unquoted.contains('H') && !unquoted.contains('h') && !unquoted.contains('m') && !unquoted.contains('s');
    setDateTimeFormat(qtFormat);
}

double TimeTicker::getTickStep(const QCPRange& range)
{
    if (m_fixed > 0) {
        const double labels = range.size() / m_fixed;
        // Hour steps hold unless zoomed in below two labels or out to an unreadable crowd.
        if (labels >= 1.5 && labels <= 100) {
            mDateStrategy = dsNone;
            return m_fixed;
        }
    }
    // Aim at labels about 110 pixels apart.
    if (m_axis && m_axis->axisRect()) setTickCount(std::max(2, m_axis->axisRect()->width() / 110));
    double step = QCPAxisTickerDateTime::getTickStep(range);
    if (m_dateOnly && step < Day) step = Day;  // dates alone: never two labels on one day
    return step;
}

int TimeTicker::getSubTickCount(double tickStep)
{
    if (std::fabs(tickStep - 7200) < 1) return 1;
    if (std::fabs(tickStep - 21600) < 1) return 5;
    return QCPAxisTickerDateTime::getSubTickCount(tickStep);
}

QString TimeTicker::getTickLabel(double tick, const QLocale& locale, QChar, int)
{
    return locale.toString(ChartRules::keyDateTime(tick), m_format);
}

QVector<double> TimeTicker::createTickVector(double tickStep, const QCPRange& range)
{
    QVector<double> result;
    if (tickStep <= 0 || range.size() <= 0) return result;
    if (tickStep < Month - Day) {
        // Multiples of the step from 1970-01-01 00:00: whole hours and midnights.
        const double first = std::floor(range.lower / tickStep) * tickStep;
        const int count = int(std::ceil((range.upper - first) / tickStep)) + 1;
        if (count > 2000) return result;
        for (int i = 0; i <= count; ++i) result << first + i * tickStep;
        return result;
    }
    // Whole months (or years): the first day of every n-th month.
    const int months = std::max(1, int(std::lround(tickStep / Month)));
    QDate d = ChartRules::keyDateTime(range.lower).date();
    d = QDate(d.year(), d.month(), 1);
    const int monthIndex = d.year() * 12 + d.month() - 1;
    d = d.addMonths(-(monthIndex % months));
    for (int guard = 0; guard < 2000; ++guard) {
        const double key = double(QDate(1970, 1, 1).daysTo(d)) * Day;
        result << key;
        if (key > range.upper) break;
        d = d.addMonths(months);
    }
    return result;
}

// ---------------------------------------------------------------------------------------
int CheckLegendItem::boxSize() const { return std::max(9, QFontMetrics(getFont()).height() - 4); }

void CheckLegendItem::draw(QCPPainter* painter)
{
    if (!mPlottable) return;
    const int box = boxSize();
    const QRect full = mRect;
    const QRect boxRect(full.left(), full.top() + (full.height() - box) / 2, box, box);
    painter->setPen(QPen(QColor(64, 64, 64), 1));
    painter->setBrush(Qt::white);
    painter->drawRect(boxRect);
    if (mPlottable->visible()) {
        // The tick.
        QPen tick(Qt::black, 2);
        tick.setCapStyle(Qt::RoundCap);
        painter->setPen(tick);
        const QRectF r = QRectF(boxRect).adjusted(2, 2, -2, -2);
        painter->drawPolyline(QPolygonF{QPointF(r.left(), r.center().y()),
                                        QPointF(r.left() + r.width() * 0.4, r.bottom()), QPointF(r.right(), r.top())});
    }
    painter->setBrush(Qt::NoBrush);
    mRect = full.adjusted(box + BoxGap, 0, 0, 0);
    QCPPlottableLegendItem::draw(painter);
    mRect = full;
}

QSize CheckLegendItem::minimumOuterSizeHint() const
{
    QSize s = QCPPlottableLegendItem::minimumOuterSizeHint();
    s.rwidth() += boxSize() + BoxGap;
    return s;
}

void LegendTitleItem::draw(QCPPainter* painter)
{
    painter->setFont(mFont);
    painter->setPen(QPen(mTextColor));
    // The whole line, descenders included: the room is the font's full height.
    painter->drawText(mRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, m_text);
}

QSize LegendTitleItem::minimumOuterSizeHint() const
{
    const QFontMetrics fm(mFont);
    QSize s(fm.horizontalAdvance(m_text) + 2, fm.height() + 4);
    s.rwidth() += mMargins.left() + mMargins.right();
    s.rheight() += mMargins.top() + mMargins.bottom();
    return s;
}

// ---------------------------------------------------------------------------------------
void PlotSurface::mousePressEvent(QMouseEvent* e)
{
    m_drag = Drag::None;
    if (e->button() == Qt::LeftButton) {
        const QPoint p = e->pos();
        const QRect area = axisRect()->rect();
        if (area.contains(p)) {
            m_drag = Drag::Zoom;
        } else if (p.x() < area.left() && p.x() >= area.left() - 70 && p.y() >= area.top() && p.y() <= area.bottom()) {
            m_drag = Drag::LeftAxis;
        } else if (p.y() > area.bottom() && p.y() <= area.bottom() + 70 && p.x() >= area.left() &&
                   p.x() <= area.right()) {
            m_drag = Drag::BottomAxis;
        }
        m_start = m_last = p;
    }
    QCustomPlot::mousePressEvent(e);
}

void PlotSurface::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->pos();
    switch (m_drag) {
        case Drag::Zoom:
            if (!m_band) m_band = new QRubberBand(QRubberBand::Rectangle, this);
            m_band->setGeometry(QRect(m_start, p).normalized());
            if ((p - m_start).manhattanLength() > 4) m_band->show();
            break;
        case Drag::LeftAxis:
            if (onAxisDrag) onAxisDrag(true, p.y() - m_last.y());
            break;
        case Drag::BottomAxis:
            if (onAxisDrag) onAxisDrag(false, p.x() - m_last.x());
            break;
        case Drag::None:
            break;
    }
    m_last = p;
    QCustomPlot::mouseMoveEvent(e);
}

void PlotSurface::mouseReleaseEvent(QMouseEvent* e)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (m_band) m_band->hide();
    if (drag == Drag::Zoom && e->button() == Qt::LeftButton && onZoomDrag) {
        const QPoint end = e->pos();
        if (std::abs(end.x() - m_start.x()) > 4 && std::abs(end.y() - m_start.y()) > 4) onZoomDrag(m_start, end);
    }
    QCustomPlot::mouseReleaseEvent(e);
}
