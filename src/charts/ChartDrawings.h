#pragma once
#include "charts/ChartControl.h"
#include "charts/ChartRules.h"
#include "calc/Formulas.h"
#include "data/GraphData.h"
#include "store/Database.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PageHost;
struct SensorDetails;
struct Shared;
class QLabel;
class GraphColumns;

// The five chart drawings. Each reads the current sensor, its Configuration row, the
// gauge position boxes of the sensor pages and the stored Load, Disp or Stretch columns
// of the graph data, and draws one chart control.
class ChartDrawings {
public:
    struct Charts {
        ChartControl* T = nullptr;    // Load v Time
        ChartControl* T2 = nullptr;   // Disp v Time
        ChartControl* S = nullptr;    // Load v Length
        ChartControl* DvL = nullptr;  // Disp v Length
        ChartControl* SvL = nullptr;  // Shear v Length
        QLabel* lblW15 = nullptr;
    };
    ChartDrawings(PageHost& win, const Charts& charts);
    ~ChartDrawings();

    void drawLoadVsTime();
    void drawDispVsTime();
    void drawLoadVsLength();
    void drawDispVsLength();
    void drawShearVsLength();

    // Which readings the length charts draw (the choice of the length tabs' box).
    void setProfileChoice(ChartRules::ProfileChoice choice) { m_profiles = choice; }
    ChartRules::ProfileChoice profileChoice() const { return m_profiles; }
    // The value axis's limits again from the lines still shown (and a time chart's level
    // lines), after the user hid or showed a line.
    void rescaleValueAxis(ChartControl& chart);
    // A moment of the current sensor's readings: its table's stamp and the file's commit
    // count (store/CommitCounter.h), taken before columns are read.
    // With its extent, a moment of a file's data table also tells what another program can
    // change without the stamp telling how: how many rows the table has, its highest row
    // number, its count of edits (store/ReadingEdits.h) and what the stored computed columns
    // were computed from.
    struct Extent {
        qint64 rows = 0;
        qint64 highest = 0;
        qint64 edits = 0;
        QString inputs;
    };
    struct ReadMoment {
        Database::Stamp stamp;
        std::optional<quint32> commits;
        std::optional<Extent> extent;
    };
    // (with the table's extent when it can be told: a file's table that counts its edits)
    ReadMoment readMoment();
    // The time charts' columns: key names what computed columns were computed from (empty:
    // the stored columns are read); computed, when given, are used at the next read in place
    // of the stored ones, read at the moment at (taken before they were read).
    void useTimeColumns(const QString& key, std::shared_ptr<GraphColumns> computed = nullptr,
                        const ReadMoment& at = {});
    // A pass computed from key stored its values, the only commit between the file's
    // commit counts from and to: columns computed from key and read at from hold what is
    // stored at to, and stay current.
    void passStored(const QString& key, quint32 from, quint32 to);
    // Lets go of the columns a time chart keeps and shows, before new ones are computed,
    // so that a million readings are not held twice.
    void dropTimeColumns(bool displacement);
    // Whether the columns kept for key are still current.
    bool timeColumnsCurrent(const QString& key);

    // Some readings of a selection (row ids) with the named columns computed as the chart's
    // pass would store them; null when only the pass can compute them.
    using RowComputer = std::function<std::unique_ptr<GraphColumns>(
        Calc::GraphSelection selection, const QStringList& names, const std::vector<qint64>& rows)>;
    // Reads the readings the length chart of profile draws with their values computed by
    // compute in place of the stored ones, for that chart's next drawing; false (nothing
    // kept) when they cannot be computed so.
    bool computeLength(ChartRules::Profile profile, const RowComputer& compute);

    // The legend titles last written by a time chart (entries 1 upward: gauge series).
    const std::array<QString, 12>& seriesTitles() const { return m_titles; }

private:
    // The two rows of positions along the bolt: the nodes and the gauge centres.
    enum class Position { Node, Centre };

    void drawTime(ChartControl& chart, bool displacement);
    // The time charts' selection read into columns, with the graph data opened on its rows.
    // While nothing in the database changed, the columns read last time are used again.
    std::shared_ptr<const GraphColumns> readTimeColumns(ChartControl& chart, const QStringList& names,
                                                        bool displacement);
    void drawLength(ChartControl& chart, ChartRules::Profile profile);
    // Level lines and event marks of the time charts; low and high take the lines' extent.
    void drawAlarms(ChartControl& chart, bool displacement, int shownSeries, double& low, double& high);
    void alarmDrawings(bool displacement, int shownSeries, std::vector<ChartControl::LevelLine>& lines,
                       std::vector<ChartControl::Mark>& marks, double& low, double& high);
    // Node k's or gauge centre k's position (1-based) as the sensor pages show it. The
    // number throws TwError 340, as for a missing control, past the positions there are;
    // the distance is NaN there and where the text is empty or not a number.
    static double positionNumber(const SensorDetails& shown, Position along, int k);
    static double positionDistance(const SensorDetails& shown, Position along, int k);
    // The readings a length chart draws and the columns of the chosen ones.
    struct LengthRead {
        ChartRules::Profile profile = ChartRules::Profile::Load;
        std::unique_ptr<GraphColumns> candidates;  // dates and row ids of the whole selection
        std::vector<QDateTime> times;              // per candidate
        std::vector<qsizetype> chosen;             // the candidates drawn, one line each
        qsizetype periods = 0;
        std::unique_ptr<GraphColumns> values;  // the chosen readings' columns (null: none chosen)
        std::vector<size_t> valueRow;          // per line: its reading's row in values
    };
    // The candidate readings of a length chart, the chosen ones and their columns: stored,
    // or computed by compute when given (null when it cannot).
    std::unique_ptr<LengthRead> readLength(ChartRules::Profile profile, const RowComputer& compute);
    // Whether the length chart computes its values from the loads or zeroed strains read.
    bool lengthComputes(ChartRules::Profile profile) const;
    // The dates and row ids of a length chart's selection; the graph data is opened on them.
    std::unique_ptr<GraphColumns> readLengthCandidates(Calc::GraphSelection selection);
    static std::array<double, 11> lineValues(const GraphColumns& cols, size_t row, ChartRules::Profile profile,
                                             int last, const std::optional<Calc::PassFormulas>& formulas);
    int configInt(const char* field) const;
    QString chartTitle() const;
    static void applyScale(ChartControl& chart, double smallest, double largest, int band);

    PageHost& m_win;
    Shared& m_s;
    Charts m_charts;
    std::array<QString, 12> m_titles{};
    ChartRules::ProfileChoice m_profiles = ChartRules::ProfileChoice::Picked;

    struct ReadColumns {
        QString table;
        QString sql;
        QStringList names;
        ReadMoment at;
        QString key;
        std::shared_ptr<GraphColumns> columns;
        std::vector<qint64> rows;
        bool storedAlike = false;  // the values are what the table stores (at `at`)
    };
    ReadMoment readMoment(const QString& table);
    // Whether kept columns still hold what the table holds at now.
    static bool stillCurrent(const ReadColumns& kept, const ReadMoment& now);
    // Brings kept columns of what is stored up to date by reading again only the rows this
    // connection wrote since they were read and, when another program committed, the rows
    // it added; false when that cannot be told or done.
    bool updateStored(ReadColumns& kept, ReadMoment now);
    // The table's extent now; none when the table's edits are not counted.
    std::optional<Extent> extentOf(const QString& table);
    // Whether, since the kept columns' moment, other programs only added rows to the table
    // (no edit, no deletion, no pass over other inputs): then true, with the rows they
    // added and the table's extent now.
    bool othersOnlyAdded(const ReadColumns& kept, std::vector<qint64>& added, Extent& now);
    // At most this many written rows are read again in place of the whole selection.
    static constexpr size_t UpdateLimit = 5000;

    std::unique_ptr<LengthRead> m_lengthRead;  // computed for the next length drawing
    std::array<ReadColumns, 2> m_read;         // Load v Time's and Disp v Time's
    QString m_key;
    std::shared_ptr<GraphColumns> m_offered;
    ReadMoment m_offeredAt;
};
