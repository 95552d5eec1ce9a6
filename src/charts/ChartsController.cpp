#include "charts/ChartsController.h"
#include "charts/ChartAppearance.h"
#include "charts/ChartCalc.h"
#include "charts/ChartControl.h"
#include "charts/ChartDrawings.h"
#include "charts/ChartRules.h"
#include "charts/PictureName.h"
#include "core/AppInfo.h"
#include "charts/GraphColumns.h"
#include "core/DatabaseChoice.h"
#include "data/BackgroundPasses.h"
#include "core/Desktop.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "store/Recordset.h"
#include "widgets/PageHost.h"
#include "widgets/SavedTo.h"

#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QDateTime>
#include <cmath>
#include <limits>

namespace {

struct ChartTab {
    const char* page;
    const char* chart;
    ChartCalc::Selection selection;
    const char* boxName;  // the Readings tab's check box named in the refusal
    const char* exportButton;
    const char* name;  // in picture file names and report captions
    const char* printButton;
};

// Tabs 3 to 7.
const ChartTab Tabs[] = {
    {"pageLoadVTime", "ChartT", ChartCalc::Selection::Temporal, "Plot Temporal", "cmdTemp", "Load v Time", "imgPrintT"},
    {"pageDispVTime", "ChartT2", ChartCalc::Selection::Temporal, "Plot Temporal", "cmdRate", "Disp v Time", "mgPrintR"},
    {"pageLoadVLength", "ChartS", ChartCalc::Selection::Spatial, "Plot Spatial", "cmdSpat", "Load v Length",
     "imgPrintS"},
    {"pageDispVLength", "ChartDvL", ChartCalc::Selection::Spatial, "Plot Spatial", "cmdDvl", "Disp v Length",
     "imgPrintDvL"},
    {"pageShearVLength", "ChartSvL", ChartCalc::Selection::Spatial, "Plot Spatial", "Command1", "Shear v Length",
     "imgPrintSvL"},
};

const ChartTab& tabInfo(int tab) { return Tabs[tab - PageHost::TabLoadVTime]; }

bool isLengthTab(int tab) { return tab >= PageHost::TabLoadVLength && tab <= PageHost::TabShearVLength; }

ChartRules::Profile profileOf(int lengthTab)
{
    return lengthTab == PageHost::TabLoadVLength   ? ChartRules::Profile::Load
           : lengthTab == PageHost::TabDispVLength ? ChartRules::Profile::Displacement
                                                   : ChartRules::Profile::Shear;
}

// The length charts' choice of readings, remembered per user.
const QString ProfilesSetting = QStringLiteral("charts/lengthProfiles");
QSettings settings() { return QSettings(QStringLiteral("Orrisford"), QStringLiteral("Tarnwell")); }
// The axes, series and legend of a chart tab's chart (on screen and in the report).
void setUpChart(int tab, ChartControl& c)
{
    switch (tab) {
        case PageHost::TabLoadVTime:
            ChartAppearance::setUpTimeChart(c, "Displacement (mm)");
            break;
        case PageHost::TabDispVTime:
            ChartAppearance::setUpTimeChart(c, "Displacement (microns)");
            break;
        case PageHost::TabLoadVLength:
            ChartAppearance::setUpLengthChart(c, "Displacement (mm)");
            break;
        case PageHost::TabDispVLength:
            ChartAppearance::setUpLengthChart(c, "Displacement (microns)");
            break;
        case PageHost::TabShearVLength:
            ChartAppearance::setUpLengthChart(c, "Shear Strain (u strain)");
            break;
        default:
            break;
    }
}

// Shows the wait cursor while a chart is computed and drawn.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

bool ChartsController::isChartTab(int tab) { return tab >= PageHost::TabLoadVTime && tab <= PageHost::TabShearVLength; }

ChartsController::ChartsController(PageHost& win) : QObject(win.widget()), m_win(win), m_s(win.shared())
{
    for (int tab = PageHost::TabLoadVTime; tab <= PageHost::TabShearVLength; ++tab) {
        buildPage(tab);
        setUpChart(tab, *chart(tab));
    }

    ChartDrawings::Charts set;
    set.T = chart(PageHost::TabLoadVTime);
    set.T2 = chart(PageHost::TabDispVTime);
    set.S = chart(PageHost::TabLoadVLength);
    set.DvL = chart(PageHost::TabDispVLength);
    set.SvL = chart(PageHost::TabShearVLength);
    set.lblW15 = lblW15;
    m_drawings = std::make_unique<ChartDrawings>(win, set);
    m_background = new BackgroundPasses(this);
    m_background->stored = [this](const BackgroundPasses::Stored& done) {
        if (done.from && done.to)
            m_drawings->passStored(ChartCalc::computeKey(done.request.in, done.request.kind), *done.from, *done.to);
    };
    const ChartRules::ProfileChoice remembered =
        ChartRules::profileChoiceFromKey(settings().value(ProfilesSetting).toString());
    m_drawings->setProfileChoice(remembered);
    showProfileChoice(remembered);
    // Hiding or showing a line fits the value axis to the lines still shown.
    for (ChartControl* c : m_charts)
        connect(c, &ChartControl::seriesCheckedChanged, this, [this, c] { m_drawings->rescaleValueAxis(*c); });
}

void ChartsController::showProfileChoice(ChartRules::ProfileChoice choice)
{
    for (QComboBox* box : m_profileBoxes) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(int(choice));
    }
}

void ChartsController::chooseProfiles(int tab, ChartRules::ProfileChoice choice)
{
    if (choice == m_drawings->profileChoice()) return;
    m_drawings->setProfileChoice(choice);
    settings().setValue(ProfilesSetting, ChartRules::profileChoiceKey(choice));
    showProfileChoice(choice);
    // The chart on show is drawn again with the readings of the new choice.
    if (m_win.currentTab() == tab) enterChartTab(tab, tab);
}

ChartCalc::Selection ChartsController::selectionOf(int tab) const
{
    if (isLengthTab(tab) && m_drawings && m_drawings->profileChoice() != ChartRules::ProfileChoice::Picked)
        return ChartCalc::Selection::Plottable;
    return tabInfo(tab).selection;
}

int ChartsController::passTabOf(int tab) const
{
    // A length chart of readings not marked for it draws from the loads and zeroed strains
    // of every plotted reading, which the load pass computes.
    return selectionOf(tab) == ChartCalc::Selection::Plottable ? int(PageHost::TabLoadVLength) : tab;
}

ChartsController::~ChartsController() = default;

void ChartsController::buildPage(int tab)
{
    const ChartTab& info = tabInfo(tab);
    auto* page = new QWidget;
    page->setObjectName(QLatin1String(info.page));
    m_pages[size_t(tab - 3)] = page;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);

    auto* chartControl = new ChartControl(page);
    chartControl->setObjectName(QLatin1String(info.chart));
    m_charts[size_t(tab - 3)] = chartControl;
    layout->addWidget(chartControl, 1);

    if (tab == PageHost::TabLoadVLength) {
        lblW15 = new QLabel(QStringLiteral("There are more than 15 records selected to plot, only the last 15 readings "
                                           "will be plotted. Go to the Readings Tab to select or unselect which data "
                                           "to plot"),
                            page);
        lblW15->setObjectName(QStringLiteral("lblW15"));
        lblW15->setWordWrap(true);
        lblW15->setStyleSheet(QStringLiteral("QLabel { color: #A00000; font-weight: bold; }"));
        lblW15->setVisible(false);
        layout->addWidget(lblW15);
    }

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto* exportButton = new QPushButton(QStringLiteral("Export as JPG"), page);
    exportButton->setObjectName(QLatin1String(info.exportButton));
    exportButton->setToolTip(QStringLiteral("Save the chart as a JPEG picture and open it"));
    connect(exportButton, &QPushButton::clicked, this, [this, tab] { exportChart(tab); });
    buttons->addWidget(exportButton);
    {
        auto* print = new QToolButton(page);
        print->setObjectName(QLatin1String(info.printButton));
        print->setIcon(ChartAppearance::printerIcon());
        print->setIconSize(QSize(32, 32));
        print->setAutoRaise(true);
        print->setToolTip(QStringLiteral("Print the chart"));
        connect(print, &QToolButton::clicked, this, [this, tab] { printChart(tab); });
        buttons->addWidget(print);
    }
    if (tab == PageHost::TabLoadVTime) {
        auto* help = new QPushButton(QStringLiteral("?"), page);
        help->setObjectName(QStringLiteral("cmdTHelp"));
        help->setToolTip(QStringLiteral("Graphing tips and hints"));
        help->setFixedWidth(32);
        connect(help, &QPushButton::clicked, this, [this] { ShowGraphingTips(); });
        buttons->addWidget(help);
    }
    if (isLengthTab(tab)) {
        auto* label = new QLabel(QStringLiteral("Readings plotted:"), page);
        auto* profiles = new QComboBox(page);
        profiles->setObjectName(QStringLiteral("cboProfiles"));
        profiles->addItems(ChartRules::profileChoiceTexts());
        profiles->setToolTip(QStringLiteral("Which readings the length charts draw, one line each (at most 15)"));
        label->setBuddy(profiles);
        connect(profiles, &QComboBox::currentIndexChanged, this,
                [this, tab](int index) { chooseProfiles(tab, ChartRules::ProfileChoice(index)); });
        m_profileBoxes.push_back(profiles);
        buttons->addSpacing(16);
        buttons->addWidget(label);
        buttons->addWidget(profiles);
    }
    buttons->addStretch();
}

void ChartsController::enterChartTab(int tab, int previousTab)
{
    const ChartTab& info = tabInfo(tab);
    ChartControl* c = chart(tab);
    ignoringErrors([&] { c->setVisible(false); });
    qint64 rows = 0;
    const ChartCalc::Selection selection = selectionOf(tab);
    ignoringErrors([&] { rows = ChartCalc::countGraphData(m_win, selection, 2); });
    if (rows < 2) {
        // Back to the tab that was left (that runs the tab change again), then say why.
        // A refusal while already going back does not switch again.
        if (!m_returning && previousTab != tab) {
            m_returning = true;
            ignoringErrors([&] { m_win.selectTab(previousTab); });
            m_returning = false;
        }
        QString text = QStringLiteral("You must have at least 2 readings to view the plot.");
        if (selection != ChartCalc::Selection::Plottable)
            text += QStringLiteral("\r\n\r\nIf you have at least 2 readings in the database, ensure the ") +
                    QLatin1String(info.boxName) + QStringLiteral(" box on the Readings Tab is checked in each case.");
        Messages::show(text, AppInfo::MessageTitle, Messages::Icon::Information);
        return;
    }
    WaitCursor wait;
    bool calculated = true, deferred = false;
    ignoringErrors([&] { calculated = calculate(tab, deferred); });
    if (!calculated) {
        // Cancelled by the user: nothing was written; back to the tab that was left.
        if (!m_returning && previousTab != tab) {
            m_returning = true;
            ignoringErrors([&] { m_win.selectTab(previousTab); });
            m_returning = false;
        }
        return;
    }
    ignoringErrors([&] { c->setVisible(true); });
    ignoringErrors([&] { draw(tab); });
    if (deferred)
        ignoringErrors([&] {
            BackgroundPasses::Request r;
            r.target = m_s.databasePath;
            r.password = DatabaseChoice::password(m_s.databasePath);
            r.in = ChartCalc::passInputs(m_win);
            r.kind = ChartCalc::passKind(passTabOf(tab));
            m_background->start(r);
        });
}

bool ChartsController::calculate(int tab, bool& deferred)
{
    deferred = false;
    const bool timeChart = tab == PageHost::TabLoadVTime || tab == PageHost::TabDispVTime;
    const qint64 work = timeChart ? ChartCalc::passWork(m_win, tab) : -1;
    const bool large = work > ChartCalc::smallPassReadings();
    if (timeChart && (large || work == 0)) {
        const QString key = ChartCalc::computeKey(ChartCalc::passInputs(m_win), ChartCalc::passKind(tab));
        if (m_drawings->timeColumnsCurrent(key)) {
            // Drawn again from the columns kept; what is left to store is stored after.
            m_drawings->useTimeColumns(key);
            deferred = large;
            return true;
        }
        if (large) {
            QStringList names{QStringLiteral("NumTemp")};
            const QString column = tab == PageHost::TabLoadVTime ? QStringLiteral("Load") : QStringLiteral("Disp");
            for (int k = 1; k <= 10; ++k) names << column + QString::number(k);
            m_drawings->dropTimeColumns(tab == PageHost::TabDispVTime);
            const ChartDrawings::ReadMoment before = m_drawings->readMoment();
            if (std::shared_ptr<GraphColumns> cols = ChartCalc::computeTimeColumns(m_win, tab, names, 0)) {
                m_drawings->useTimeColumns(key, std::move(cols), before);
                deferred = true;
                return true;
            }
        }
    }
    if (isLengthTab(tab) && ChartCalc::passWork(m_win, passTabOf(tab)) > ChartCalc::smallPassReadings()) {
        // The few readings drawn are computed as the pass would store them; the pass stores
        // every reading after.
        const int passTab = passTabOf(tab);
        const auto compute = [this, passTab](Calc::GraphSelection drawn, const QStringList& names,
                                             const std::vector<qint64>& rows) {
            return ChartCalc::computeRowColumns(m_win, passTab, drawn, names, rows);
        };
        if (m_drawings->computeLength(profileOf(tab), compute)) {
            deferred = true;
            return true;
        }
    }
    // The pass runs first, on the window's connection: one storing the same readings steps
    // aside until it is done.
    m_drawings->useTimeColumns(QString());
    m_background->stepAside();
    return ChartCalc::runPass(m_win, passTabOf(tab));
}

void ChartsController::stopBackgroundPasses()
{
    if (m_background->busy()) m_background->finish([](qint64, qint64) { return false; });
}

void ChartsController::finishBackgroundPasses()
{
    if (!m_background->busy()) return;
    QProgressDialog progress(QStringLiteral("Storing the calculated readings..."), QStringLiteral("Stop"), 0, 1000,
                             m_win.widget());
    progress.setWindowTitle(AppInfo::MessageTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoReset(false);
    m_background->finish([&progress](qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(std::min<qint64>(done, total) * 1000 / total) : 0);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return !progress.wasCanceled();
    });
}

void ChartsController::draw(int tab)
{
    switch (tab) {
        case PageHost::TabLoadVTime:
            m_drawings->drawLoadVsTime();
            break;
        case PageHost::TabDispVTime:
            m_drawings->drawDispVsTime();
            break;
        case PageHost::TabLoadVLength:
            m_drawings->drawLoadVsLength();
            break;
        case PageHost::TabDispVLength:
            m_drawings->drawDispVsLength();
            break;
        case PageHost::TabShearVLength:
            m_drawings->drawShearVsLength();
            break;
        default:
            break;
    }
}

ChartDrawings& ChartsController::reportDrawings()
{
    if (!m_reportDrawings) {
        ChartDrawings::Charts set;
        ChartControl** targets[] = {&set.T, &set.T2, &set.S, &set.DvL, &set.SvL};
        for (int tab = PageHost::TabLoadVTime; tab <= PageHost::TabShearVLength; ++tab) {
            auto& c = m_reportCharts[size_t(tab - 3)];
            c = std::make_unique<ChartControl>();
            setUpChart(tab, *c);
            *targets[tab - 3] = c.get();
        }
        m_reportW15 = std::make_unique<QLabel>();
        set.lblW15 = m_reportW15.get();
        m_reportDrawings = std::make_unique<ChartDrawings>(m_win, set);
    }
    return *m_reportDrawings;
}

ChartControl* ChartsController::reportChart(int tab)
{
    reportDrawings();
    return m_reportCharts.at(size_t(tab - 3)).get();
}

void ChartsController::drawForReport(int tab)
{
    ChartDrawings& d = reportDrawings();
    // The length charts of the report draw the readings the user chose on screen.
    d.setProfileChoice(m_drawings->profileChoice());
    switch (tab) {
        case PageHost::TabLoadVTime:
            d.drawLoadVsTime();
            break;
        case PageHost::TabDispVTime:
            d.drawDispVsTime();
            break;
        case PageHost::TabLoadVLength:
            d.drawLoadVsLength();
            break;
        case PageHost::TabDispVLength:
            d.drawDispVsLength();
            break;
        case PageHost::TabShearVLength:
            d.drawShearVsLength();
            break;
        default:
            break;
    }
}

bool ChartsController::prepareChart(int tab)
{
    if (!isChartTab(tab)) return false;
    qint64 rows = 0;
    ignoringErrors([&] { rows = ChartCalc::countGraphData(m_win, selectionOf(tab), 2); });
    if (rows < 2) return false;
    bool calculated = true;
    ignoringErrors([&] {
        m_drawings->useTimeColumns(QString());
        m_background->stepAside();
        calculated = ChartCalc::runPass(m_win, passTabOf(tab));
    });
    if (!calculated) return false;
    drawForReport(tab);
    return true;
}

bool ChartsController::narrowToPeriod(int tab, const QDate& from, const QDate& to)
{
    if (tab != PageHost::TabLoadVTime && tab != PageHost::TabDispVTime) return true;
    using Axis = ChartControl::Axis;
    ChartControl& c = *reportChart(tab);
    const double lower = ChartRules::dateTimeKey(from.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    const double upper = ChartRules::dateTimeKey(to.toString(QStringLiteral("yyyy-MM-dd 23:59:59")));
    double low = std::numeric_limits<double>::quiet_NaN(), high = low;
    int mostPoints = 0;
    for (int i = 0; i < c.seriesCount(); ++i) {
        if (!c.isSeriesVisible(i)) continue;
        std::vector<double> xs, ys;
        for (int k = 0; k < c.pointCount(i); ++k) {
            const QPointF p = c.point(i, k);
            if (p.x() < lower || p.x() > upper) continue;
            xs.push_back(p.x());
            ys.push_back(p.y());
            // The temperature (series 0) has its own axis: the value axis spans the gauges.
            if (i > 0 && std::isfinite(p.y())) {
                low = std::isnan(low) ? p.y() : std::min(low, p.y());
                high = std::isnan(high) ? p.y() : std::max(high, p.y());
            }
        }
        mostPoints = std::max(mostPoints, int(xs.size()));
        if (xs.empty()) c.setSeriesVisible(i, false);
        else c.setSeriesData(i, xs, ys);
    }
    if (mostPoints < 2) return false;
    // The alarm levels drawn stay within the value axis.
    for (const ChartControl::LevelLine& l : c.levelLines()) {
        low = std::isnan(low) ? l.value : std::min(low, l.value);
        high = std::isnan(high) ? l.value : std::max(high, l.value);
    }
    if (!std::isnan(low)) {
        const ChartCalc::AxisScale s = ChartCalc::scale(low, high, ChartCalc::Band::T);
        c.setMinimum(Axis::Left, s.minimum);
        c.setMaximum(Axis::Left, s.maximum);
        c.setIncrement(Axis::Left, s.increment);
    }
    // The time axis spans the period, labelled as a chart of that span is.
    const ChartRules::TimeAxisPlan plan =
        ChartRules::timeAxisPlan(from, to, ChartRules::systemDateSeparator(), ChartRules::systemTimeSeparator());
    c.setAutomatic(Axis::Bottom, false);
    c.setMinimum(Axis::Bottom, lower);
    c.setMaximum(Axis::Bottom, upper);
    ChartAppearance::applyTimeAxisPlan(c, plan);
    return true;
}

QImage ChartsController::renderChart(int tab, const QSize& size)
{
    if (!isChartTab(tab) || size.isEmpty()) return QImage();
    // Laid out at most 720 pixels wide and drawn larger, so the labels read well when the
    // picture is shrunk to a page's width.
    const double scale = std::max(1.0, size.width() / 720.0);
    const QSize logical(int(size.width() / scale), int(size.height() / scale));
    QImage picture = reportChart(tab)->renderForReport(logical, scale);
    if (picture.size() != size) picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}

std::vector<PageHost::ChartLine> ChartsController::timeChartLines(int tab) const
{
    std::vector<PageHost::ChartLine> lines;
    if (tab != PageHost::TabLoadVTime && tab != PageHost::TabDispVTime) return lines;
    const ChartControl* c = m_reportCharts.at(size_t(tab - 3)).get();
    if (!c) return lines;
    for (int i = 1; i < c->seriesCount(); ++i) {  // series 0 is the temperature
        const int n = c->pointCount(i);
        if (!c->isSeriesVisible(i) || n == 0) continue;
        PageHost::ChartLine line;
        // The gauge alone ("#1"): the legend's distance after it is the report's own column.
        line.title = c->seriesTitle(i).section(QStringLiteral(" \u2013 "), 0, 0);
        // The latest and the peak values skip the readings without a value (NaN: a gap).
        int lastIndex = n - 1;
        while (lastIndex > 0 && !std::isfinite(c->point(i, lastIndex).y())) --lastIndex;
        const QPointF last = c->point(i, lastIndex);
        line.lastAt = ChartRules::keyDateTime(last.x());
        line.last = last.y();
        QPointF peak = last;
        for (int k = 0; k < n; ++k) {
            const QPointF p = c->point(i, k);
            if (std::isfinite(p.y()) && (!std::isfinite(peak.y()) || std::fabs(p.y()) > std::fabs(peak.y()))) peak = p;
        }
        line.peakAt = ChartRules::keyDateTime(peak.x());
        line.peak = peak.y();
        lines.push_back(line);
    }
    return lines;
}

// ----- chart commands -----------------------------------------------------------------------
QString ChartsController::chartName(int tab)
{
    return isChartTab(tab) ? QString::fromLatin1(tabInfo(tab).name) : QString();
}

QString ChartsController::exportPath(int tab) const
{
    const QString sensor = m_s.rsSensors && m_s.rsSensors->isOpen() && m_s.rsSensors->hasCurrentRow()
                               ? SensorDetails::idOf(*m_s.rsSensors)
                               : QString();
    return PictureName::freePath(m_s.dataFolder,
                                 PictureName::baseName(sensor, chartName(tab), QDateTime::currentDateTime()),
                                 QStringLiteral("jpg"));
}

void ChartsController::exportChart(int tab)
{
    const QString path = exportPath(tab);
    if (!chart(tab)->saveJpeg(path)) {
        Messages::show(QStringLiteral("The chart could not be saved as\r\n") + path +
                           QStringLiteral("\r\nCheck that the data folder exists and that the file is not read-only."),
                       AppInfo::MessageTitle, Messages::Icon::Exclamation);
        return;
    }
    showSavedTo(m_win.widget(), AppInfo::MessageTitle, path);
}

bool ChartsController::printChartOn(int tab, QPrinter& printer) { return chart(tab)->print(printer); }

void ChartsController::printChart(int tab)
{
    if (QPrinterInfo::availablePrinters().isEmpty())
        Messages::show(QStringLiteral("No printer is available.\r\n"
                                      "The print dialog can still print the chart to a PDF file."),
                       AppInfo::MessageTitle, Messages::Icon::Information);
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(m_win.tabText(tab));
    QPrintDialog dialog(&printer, m_win.widget());
    dialog.setWindowTitle(QStringLiteral("Print ") + m_win.tabText(tab));
    if (dialog.exec() != QDialog::Accepted) return;
    if (!printChartOn(tab, printer))
        Messages::show(QStringLiteral("The chart could not be printed.\r\nCheck the printer and try again."),
                       AppInfo::MessageTitle, Messages::Icon::Exclamation);
}

void ChartsController::ShowGraphingTips()
{
    runTrapped(QStringLiteral(" Module1_ShowGraphingTips"), [&] {
        const QString tips[] = {
            QStringLiteral("1) To scroll graph hold down the left mouse button over an axis and drag to desired range"),
            QStringLiteral("2) Explanation of zooming (diagonal left to right zooms in, right to left zooms out)"),
            QStringLiteral("3) Click on a series in the graph to see raw data in lower annotation"),
            QStringLiteral("4) Uncheck a series in the legend to hide, check series to show")};
        Messages::show(tips[0] + QStringLiteral("\r\n") + tips[1] + QStringLiteral("\r\n") + tips[2] +
                           QStringLiteral("\r\n") + tips[3],
                       QStringLiteral("Graphing Tips and Hints"), Messages::Icon::None, Messages::Buttons::Ok);
    });
}
