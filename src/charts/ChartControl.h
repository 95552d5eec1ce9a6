#pragma once
#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QSharedPointer>
#include <memory>
#include <optional>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPGraphData;
template <class DataType>
class QCPDataContainer;
class QCPTextElement;
class QPrinter;
class PlotSurface;
class ValueTicker;
class TimeTicker;

// One chart control: the operations the drawings need, over QCustomPlot. A title of
// lines, a value axis (left) and an X axis (bottom) with titles, automatic or fixed
// limits, a label step and date-time label formats; a fixed number of series addressed
// by index, each a line of width 2 with diamond markers; a legend with a title and a
// check box per series in use; scrolling along an axis by dragging it; zooming by
// dragging a rectangle (left to right zooms in, right to left returns to the limits as
// drawn); JPEG export and printing with margins.
class ChartControl : public QWidget {
    Q_OBJECT
public:
    enum class Axis { Left, Bottom };
    enum class TimeStep { Automatic, TwoHours, SixHours };

    explicit ChartControl(QWidget* parent = nullptr);
    ~ChartControl() override;

    // --- set-up (once, when the window is built) ---
    void setSeriesCount(int count);
    void setSeriesColour(int index, const QColor& colour);
    void setSeriesMarkerSize(int index, double pixels);
    // The bottom axis carries date-times (chart keys, see ChartRules::dateTimeKey).
    void setDateTimeAxis(bool on);
    void setLabelAngle(Axis axis, double degrees);   // counter-clockwise, as 345 for a slight slope
    void setLabelDecimals(Axis axis, int decimals);  // fixed decimals; -1 (the default): what the step needs
    void setPrintMargins(const QMarginsF& percent);  // left, top, right, bottom
    QMarginsF printMargins() const { return m_printMargins; }

    // --- title ---
    void clearTitle();
    void addTitleLine(const QString& line);
    QStringList titleLines() const { return m_titleLines; }

    // --- axes ---
    void setAxisTitle(Axis axis, const QString& title);
    QString axisTitle(Axis axis) const;
    void setAutomatic(Axis axis, bool automatic);
    bool isAutomatic(Axis axis) const;
    void setMinimum(Axis axis, double value);
    void setMaximum(Axis axis, double value);
    // Limits in force: the fixed ones, or those of the data shown when automatic.
    double minimum(Axis axis) const;
    double maximum(Axis axis) const;
    void setIncrement(Axis axis, double step);  // 0: automatic label step
    double increment(Axis axis) const;
    void setDateTimeFormat(Axis axis, const QString& qtFormat);
    QString dateTimeFormat(Axis axis) const;
    void setDateTimeStep(Axis axis, TimeStep step);
    TimeStep dateTimeStep(Axis axis) const;
    // The smallest and the largest value of the visible series along the axis (0 when none).
    double dataMinimum(Axis axis) const;
    double dataMaximum(Axis axis) const;
    // The range on screen now (after zooming and scrolling) and its labels.
    double shownLower(Axis axis) const;
    double shownUpper(Axis axis) const;
    QStringList tickLabels(Axis axis);

    // --- series ---
    int seriesCount() const { return int(m_series.size()); }
    void clearSeries(int index);
    // Shows a series (in the legend, checked) or hides it (out of the legend).
    void setSeriesVisible(int index, bool visible);
    bool isSeriesVisible(int index) const;
    void setSeriesTitle(int index, const QString& title);
    QString seriesTitle(int index) const;
    // Replaces the points (one per X value; a NaN Y leaves a gap). The series keeps the
    // whole line and hands the plotting library only what the chart can show at its width
    // (SeriesSampler), so a line of a million points redraws as quickly as a short one.
    // Series may share their X values.
    void setSeriesData(int index, const std::vector<double>& xs, const std::vector<double>& ys);
    void setSeriesData(int index, std::shared_ptr<const std::vector<double>> xs,
                       std::shared_ptr<const std::vector<double>> ys);
    // What the arrays of a line hold, told by the caller so that binding arrays again costs
    // only what changed in them. number changes whenever their contents change (0: not
    // told, the line is taken in whole). grownFrom, when not 0, is the number they had
    // before only the points at `added` (places now, ascending) were put in.
    struct LineRevision {
        quint64 number = 0;
        quint64 grownFrom = 0;
        const std::vector<size_t>* added = nullptr;
    };
    // As above; a line cleared or hidden since it was bound from these very arrays comes
    // back as it was when their number is the same (its range and sample kept), and takes
    // only the points put in when they grew.
    void setSeriesData(int index, std::shared_ptr<const std::vector<double>> xs,
                       std::shared_ptr<const std::vector<double>> ys, const LineRevision& revision);
    // Lets go of what cleared or hidden lines keep for being bound again (their arrays).
    void releaseKeptLines();
    void addPoint(int index, double x, double y);
    int pointCount(int index) const;
    QPointF point(int index, int i) const;
    double seriesMaxX(int index) const;
    double seriesMaxY(int index) const;
    QColor seriesColour(int index) const;
    // Whether the series' points show their diamonds now (not when too dense to see).
    bool isSeriesMarked(int index) const;

    // --- alarm levels and marked readings (drawn over the series, never in the legend) ---
    struct LevelLine {
        double value = 0;
        QString label;  // written at the left end of the line, above it
        QColor colour;
    };
    // Horizontal lines across the data area at these values (replacing those drawn before).
    void setLevelLines(const std::vector<LevelLine>& lines);
    const std::vector<LevelLine>& levelLines() const { return m_levelLines; }
    struct Mark {
        int series = 0;  // the series whose point is marked
        double x = 0;    // the point's X value
        QColor colour;
    };
    // Rings around points of the series (replacing those drawn before); an X value the
    // series has no point at is left out.
    void setMarks(const std::vector<Mark>& marks);
    int markCount() const { return m_markCount; }

    // --- legend ---
    void setLegendTitle(const QString& title);
    QString legendTitle() const { return m_legendTitle; }
    // Titles of the series in the legend, in order.
    QStringList legendEntries() const;
    // The check box of a series, as the user clicks it: unchecked hides the line.
    void setSeriesChecked(int index, bool checked);
    bool isSeriesChecked(int index) const;
    // Where a series' legend entry lies within the widget (empty when not in the legend).
    QRect legendEntryArea(int index) const;

    // --- mouse ---
    // Zoom to a rectangle given in widget pixels, as a drag from `from` to `to` does:
    // left to right zooms in, right to left returns to the limits as drawn.
    void dragZoom(const QPoint& from, const QPoint& to);
    // Scrolls along an axis by a number of pixels, as dragging on the axis does.
    void scrollAxis(Axis axis, int pixels);
    bool isZoomed() const { return m_zoomed; }
    // Where the data area lies within the widget.
    QRect plotArea() const;

    // --- output ---
    // Redraws now (the drawings call it when they are done; other changes redraw later).
    void refresh();
    bool saveJpeg(const QString& path);
    QImage render(const QSize& size);
    // The chart as a report shows it: laid out at `logical` size and drawn `scale` times
    // larger (so its labels read well when the picture is shrunk to a page's width), with
    // a legend of the lines shown without check boxes. The chart on screen is left as it was.
    QImage renderForReport(const QSize& logical, double scale);
    // A series drawn against a value axis of its own at the right (the temperature), with
    // that axis's title; -1 for none. The value axis (left) and its limits then leave it
    // out; the right axis shows while the series does, scaled to its values at round steps.
    void setOwnAxisSeries(int index, const QString& axisTitle);
    int ownAxisSeries() const { return m_ownAxisSeries; }
    // The right axis: whether it shows, its title and its range on screen.
    bool isRightAxisShown() const;
    QString rightAxisTitle() const;
    double rightLower() const;
    double rightUpper() const;
    // Whether a series is drawn against the right axis.
    bool isOnRightAxis(int index) const;
    // How far (pixels) the series' markers may reach past the data area now: room for
    // their whole diamond when the chart shows its limits as drawn, none when zoomed.
    int edgeRoom(int index) const;
    // Prints on an open printer within the print margins. False when printing failed.
    bool print(QPrinter& printer);

    // The text shown under the chart after a click on a point.
    QString annotation() const;

signals:
    // The user (or setSeriesChecked) ticked or cleared a series' legend check box.
    void seriesCheckedChanged(int index, bool checked);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    struct AxisState {
        bool automatic = true;
        double min = 0;
        double max = 10;
        double increment = 0;
        QString format;
        TimeStep step = TimeStep::Automatic;
    };
    // The key range and screen width a sample of a whole line was taken for (no columns:
    // none taken).
    struct SampleSpan {
        double lower = 0, upper = 0;
        int columns = 0;
        bool is(int width, double from, double to) const { return columns == width && lower == from && upper == to; }
    };
    struct Series {
        QCPGraph* graph = nullptr;
        QString title;
        bool inUse = false;   // shown by the program
        bool checked = true;  // the legend's check box
        double markerSize = 7;
        bool dense = false;  // too many points on screen for markers
        // The whole line when set by setSeriesData (keys sorted, no NaN key); the plotting
        // library holds a sample of it. Empty: the library holds the points themselves.
        std::shared_ptr<const std::vector<double>> keys;
        std::shared_ptr<const std::vector<double>> values;
        double valueLow = 0, valueHigh = 0;
        bool hasValues = false;
        // The range and width the library's sample was taken for.
        SampleSpan sampled;
        // The last sample taken of the whole line (the chart as first drawn), kept so that
        // zooming back out hands it over again instead of sampling every point anew.
        SampleSpan overviewSpan;
        std::vector<qsizetype> overview;
        // The arrays the whole line was bound from (keys and values may be a cleaned copy)
        // and the revision they were bound at (0: not told).
        const void* fromKeys = nullptr;
        const void* fromValues = nullptr;
        quint64 revision = 0;
        bool whole() const { return bool(keys); }
    };
    // A whole line of a told revision, kept with its sample while its series is cleared or
    // hidden, for when the same arrays are bound again.
    struct KeptLine {
        Series line;
        QSharedPointer<QCPDataContainer<QCPGraphData>> points;
    };
    // Takes back the line kept for the series when it was bound from these arrays; false
    // when none was. grown: the arrays grew since by revision.added points.
    bool restoreKept(Series& s, const void* xs, const void* ys, const LineRevision& revision);
    static bool grewInOrder(const std::vector<double>& keys, const std::vector<size_t>& added);

    AxisState& state(Axis axis) { return axis == Axis::Left ? m_left : m_bottom; }
    const AxisState& state(Axis axis) const { return axis == Axis::Left ? m_left : m_bottom; }
    class QCPAxis* qcpAxis(Axis axis) const;
    void checkIndex(int index) const;
    // The range of a series' keys (Bottom) or values (Left); false when it has none.
    bool seriesRange(const Series& s, Axis axis, double& lower, double& upper) const;
    void applyAxes();
    void layOutWhileHidden();
    void fitMarkersToDensity();
    void fitEdgeRoom();
    // Puts the own-axis series on the right axis, shows or hides that axis and sets its range.
    void applyOwnAxis();
    bool isOwnAxis(const Series& s) const;
    // Hands each whole line's sample for the X range shown and a width in pixels to the
    // plotting library (only where the range or width changed).
    void sampleSeries(int columns);
    int screenColumns() const;
    void dropWhole(Series& s);
    void rebuildLegend();
    void updateTitle();
    void schedule();
    void onPointClicked(int series, int dataIndex);
    void onLegendToggled(QCPGraph* graph);
    void handleZoom(const QPoint& from, const QPoint& to);
    void handleAxisDrag(Axis axis, int pixels);

    PlotSurface* m_plot = nullptr;
    QCPTextElement* m_title = nullptr;
    QCPTextElement* m_annotation = nullptr;
    class QCPLayoutGrid* m_legendColumn = nullptr;
    ValueTicker* m_leftTicker = nullptr;
    ValueTicker* m_bottomTicker = nullptr;
    TimeTicker* m_timeTicker = nullptr;
    bool m_dateTime = false;
    QStringList m_titleLines;
    QString m_legendTitle;
    AxisState m_left;
    AxisState m_bottom;
    std::vector<Series> m_series;
    std::vector<std::optional<KeptLine>> m_kept;  // by series
    QMarginsF m_printMargins{5, 5, 5, 5};
    bool m_zoomed = false;
    bool m_pending = false;
    std::vector<LevelLine> m_levelLines;
    std::vector<class QCPAbstractItem*> m_levelItems;
    std::vector<QCPGraph*> m_markGraphs;
    int m_markCount = 0;
    int m_ownAxisSeries = -1;
    QString m_ownAxisTitle;

    friend class PlotSurface;
};
