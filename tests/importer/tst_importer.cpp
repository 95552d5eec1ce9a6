// tarnwell-import: one file for a sensor, a folder imported once (also run twice at the
// same time), the summary lines, the error log and the exit codes. The command is run as
// a separate process, as a timer would run it.
#include "support/TestEnv.h"
#include "alarms/AlarmEvaluation.h"
#include "app/MainWindow.h"
#include "readings/ReadingsController.h"
#include "core/Paths.h"
#include "data/AlarmStore.h"
#include "data/AppendedValues.h"
#include "importer/ImportPasses.h"
#include "importer/ImportRun.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/PassTables.h"
#include "store/Statement.h"
#include "tools/ColumnMap.h"

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>
#include <bit>

namespace {
const QString Sensor = QStringLiteral("123445001");  // type 45: three gauges and a temperature
const QString Other = QStringLiteral("123445002");
const QStringList Names{"TIMESTAMP", "RECORD", "Temp", "Strain(1)", "Strain(2)", "Strain(3)"};

// A TOA5 file of count hourly records from the given hour of 2024-03-05.
QByteArray toa5(int firstHour, int count, const QByteArray& tail = {})
{
    QByteArray out =
        "\"TOA5\",\"Stope4\",\"CR1000X\",\"4711\",\"OS\",\"CPU:bolts.CR1X\",\"1\",\"Hourly\"\r\n"
        "\"TIMESTAMP\",\"RECORD\",\"Temp\",\"Strain(1)\",\"Strain(2)\",\"Strain(3)\"\r\n"
        "\"TS\",\"RN\",\"Deg C\",\"uStrain\",\"uStrain\",\"uStrain\"\r\n"
        "\"\",\"\",\"Avg\",\"Avg\",\"Avg\",\"Avg\"\r\n";
    const QDateTime start(QDate(2024, 3, 5), QTime(0, 0));
    for (int i = 0; i < count; ++i)
        out += '"' + start.addSecs(qint64(firstHour + i) * 3600).toString("yyyy-MM-dd HH:mm:ss").toLatin1() + "\"," +
               QByteArray::number(firstHour + i) + ",20.5,1,2,3\r\n";
    return out + tail;
}

// A TOA5 file of count hourly records of six gauges from start; every seventh line has
// no value in one gauge, every eleventh no temperature.
QByteArray sixGauges(const QDateTime& start, int count)
{
    QByteArray out =
        "\"TOA5\",\"Stope4\",\"CR1000X\",\"4711\",\"OS\",\"CPU:bolts.CR1X\",\"1\",\"Hourly\"\r\n"
        "\"TIMESTAMP\",\"RECORD\",\"Temp\",\"S1\",\"S2\",\"S3\",\"S4\",\"S5\",\"S6\"\r\n"
        "\"TS\",\"RN\",\"Deg C\",\"uS\",\"uS\",\"uS\",\"uS\",\"uS\",\"uS\"\r\n"
        "\"\",\"\",\"Avg\",\"Avg\",\"Avg\",\"Avg\",\"Avg\",\"Avg\",\"Avg\"\r\n";
    for (int i = 0; i < count; ++i) {
        out += '"' + start.addSecs(qint64(i) * 3600).toString("yyyy-MM-dd HH:mm:ss").toLatin1() + "\"," +
               QByteArray::number(i) + ',' + (i % 11 == 3 ? QByteArray() : QByteArray::number(15.25 + i % 9 * 0.5));
        for (int g = 1; g <= 6; ++g)
            out += ',' + (i % 7 == g ? QByteArray("NAN")
                                     : QByteArray::number(100.0 * g + (i * 37 + g * 11) % 1000 / 7.0, 'f', 3));
        out += "\r\n";
    }
    return out;
}

// The readings' computed columns and marks, bit for bit, by key.
QStringList computedColumns(Database& db, const QString& id)
{
    QString cols = QStringLiteral("DateTimeKey, IsDirty, NumTemp");
    for (int i = 1; i <= 10; ++i) cols += QStringLiteral(", zero%1").arg(i);
    for (int i = 1; i <= 6; ++i) cols += QStringLiteral(", Load%1, Disp%1").arg(i);
    for (int i = 1; i <= 4; ++i) cols += QStringLiteral(", Stretch%1").arg(i);
    Statement q(db, QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM `") + id +
                        QStringLiteral("` ORDER BY DateTimeKey"));
    QStringList rows;
    while (q.next()) {
        QString row = q.text(0) + QStringLiteral(" marked ") + QString::number(q.integer(1));
        for (int c = 2; c < q.columnCount(); ++c)
            row +=
                q.isNull(c) ? QStringLiteral(" null") : u' ' + QString::number(std::bit_cast<quint64>(q.number(c)), 16);
        rows << row;
    }
    return rows;
}

struct Run {
    int code = -1;
    QString out;
    QString err;
};
}  // namespace

class TestImporter : public QObject {
    Q_OBJECT
    TestHome home;
    QTemporaryDir files;
    std::unique_ptr<Database> db;

    QString writeFile(const QString& name, const QByteArray& content)
    {
        const QString path = QDir(files.path()).filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path;
    }

    static Run runCommand(QStringList args)
    {
        // On a server run the command is pointed at the server, as a logger PC's timer would.
        if (TestServer::wanted() && !args.contains("--database") && !args.isEmpty())
            args = QStringList{"--database", TestServer::uri()} + args;
        QProcess p;
        p.start(QStringLiteral(TARNWELL_IMPORT_EXE), args);
        p.waitForFinished(120000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    int count(const QString& sensor)
    {
        return db->scalar(QStringLiteral("SELECT COUNT(*) FROM `%1`").arg(sensor)).toInt();
    }

    void saveMap(const QString& sensor)
    {
        ColumnMap m;
        m.dateColumn = "TIMESTAMP";
        m.tempColumn = "Temp";
        m.gaugeColumns = QStringList{"Strain(1)", "Strain(2)", "Strain(3)"};
        ColumnMaps::save(*db, sensor, "TOA5", ColumnMaps::signature("TOA5", Names), m);
    }

    QString log()
    {
        QFile f(Paths::logFilePath());
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::addSensor(*db, {Sensor});
        TestData::addSensor(*db, {Other});
        QDir(files.path()).removeRecursively();
        QDir().mkpath(files.path());
    }

    void helpAndWrongUse()
    {
        const Run help = runCommand({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith("Usage: tarnwell-import"));
        for (const QStringList& args : {QStringList{}, QStringList{"--sensor", Sensor}, QStringList{"--folder"},
                                        QStringList{"--sensor", Sensor, "--folder", "x"}, QStringList{"--bogus"},
                                        QStringList{"--interval", "x", "--folder", "y"}}) {
            const Run r = runCommand(args);
            QCOMPARE(r.code, 2);
            QVERIFY(r.err.contains("Try 'tarnwell-import --help'"));
        }
        const Run missing = runCommand({"--database", files.filePath("none.mdb"), "--folder", files.path()});
        QCOMPARE(missing.code, 2);
        QVERIFY(missing.err.contains("no Tarnwell database at"));
    }

    void oneFileForASensor()
    {
        const QString path = writeFile("Stope4_Hourly.dat", toa5(0, 3));
        // No map yet for this layout: the file fails, nothing is stored, the log says why.
        Run r = runCommand({"--sensor", Sensor, path});
        QCOMPARE(r.code, 2);
        QCOMPARE(r.out.trimmed(),
                 path + ": failed, nothing stored: sensor " + Sensor +
                     " has no column map for this layout of TOA5 file; import one such file in Tarnwell to choose it");
        QVERIFY(log().contains("tarnwell-import " + path));
        QCOMPARE(count(Sensor), 0);

        saveMap(Sensor);
        r = runCommand({"--sensor", Sensor, path});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(),
                 path + ": sensor " + Sensor + ": 3 appended, 0 duplicates, 0 refused lines, 0 new alarm events");
        QCOMPARE(count(Sensor), 3);
        // Computed before the command ends, as the program's pass stores them: nothing left marked.
        QCOMPARE(db->scalar(QStringLiteral("SELECT COUNT(*) FROM `%1` WHERE IsDirty = 0 AND Plottemporal = 1 AND "
                                           "ChannelT = '20.5' AND Channel3 = '3.00' AND NumTemp = 20.5 AND zero3 = 0")
                                .arg(Sensor))
                     .toInt(),
                 3);
        // Each reading says who added it and when: the login name tarnwell-import runs as.
        QCOMPARE(db->scalar(QStringLiteral("SELECT COUNT(*) FROM `%1` WHERE RowVersion = 1 AND ChangedBy = ? AND "
                                           "ChangedAt IS NOT NULL")
                                .arg(Sensor),
                            {Database::loginName()})
                     .toInt(),
                 3);
        QVERIFY(QFile::exists(
            QDir(Paths::dataFolder())
                .filePath("imports/TW" + Sensor + "_" + QDate::currentDate().toString("yyyy-MM-dd") + ".dat")));

        // Again: everything is a duplicate, which is no failure.
        r = runCommand({"--sensor", Sensor, path});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(": 0 appended, 3 duplicates, 0 refused lines"));

        // A file whose last line was cut short while it was copied: the rest goes in, exit 1.
        const QString cut = writeFile("cut.dat", toa5(3, 2, "\"2024-03-05 05:00:00\",5,20.5,1"));
        r = runCommand({"--sensor", Sensor, cut, path});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains(cut + ": sensor " + Sensor +
                               ": 2 appended, 0 duplicates, 1 refused lines, 0 new alarm events\n"
                               "  line 7: the line is cut short (4 of 6 fields)"));
        QCOMPARE(count(Sensor), 5);

        // A comma-separated file with day-first dates.
        const QString plain = writeFile(Sensor + ".txt", "06/03/2024 10:00:00,7,45,123445001,19.5,1,2,3\r\n");
        r = runCommand({"--sensor", Sensor, "--date-layout", "dmy", plain});
        QCOMPARE(r.code, 0);
        QCOMPARE(
            db->scalar(QStringLiteral("SELECT ChannelT || '/' || Channel1 FROM `%1` WHERE DateTimeKey = ?").arg(Sensor),
                       {Sensor + " 2024/03/06 10:00:00"})
                .toString(),
            QString("19.5/1.00"));

        // A sensor that does not exist fails that file only.
        r = runCommand({"--sensor", "999999999", path});
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.contains("No sensor type found for sensor 999999999"));
    }

    // The readings of a file are evaluated against the sensor's alarm levels in date order
    // after the append: a crossing and its return within one file both count.
    void alarmEventsOfTheNewReadings()
    {
        const QString bolt = QStringLiteral("123435003");  // type 35: two gauges, stacked
        TestData::addSensor(*db, {bolt});
        AlarmStore::Levels l;
        l.loadAlertUpper = 8;
        l.loadActionUpper = 12;
        AlarmStore::saveLevels(*db, bolt, l);
        // As the levels dialog does: the sensor is evaluated when its levels are saved.
        QVERIFY(AlarmEvaluation::evaluateSensor(*db, bolt, QDateTime::currentDateTime()).evaluated);
        ColumnMap m;
        m.dateColumn = "TIMESTAMP";
        m.tempColumn = "Temp";
        m.gaugeColumns = QStringList{"Strain(1)", "Strain(2)"};
        ColumnMaps::save(*db, bolt, "TOA5", ColumnMaps::signature("TOA5", Names), m);
        QByteArray file = toa5(0, 0);
        const int strains[] = {0, 500, 900, 1300, 100};  // loads 0, 5, 9, 13 and 1 t (k factor 100)
        for (int i = 0; i < 5; ++i)
            file += "\"2024-03-05 0" + QByteArray::number(i) + ":00:00\"," + QByteArray::number(i) + ",20.5," +
                    QByteArray::number(strains[i]) + ',' + QByteArray::number(strains[i]) + ",0\r\n";
        const QString path = writeFile("Stope4_bolt.dat", file);
        const Run r = runCommand({"--sensor", bolt, path});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(),
                 path + ": sensor " + bolt + ": 5 appended, 0 duplicates, 0 refused lines, 2 new alarm events");
        const std::vector<AlarmStore::Event> events = AlarmStore::events(*db);
        QCOMPARE(int(events.size()), 2);
        QCOMPARE(events[0].level, QString("Action"));
        QCOMPARE(events[0].readingKey, bolt + " 2024/03/05 03:00:00");
        QCOMPARE(events[1].level, QString("Alert"));
        // Told in the program's summary at its next start.
        QCOMPARE(int(AlarmStore::unnotified(*db).size()), 2);
        QCOMPARE(AlarmStore::state(*db, bolt)->status, AlarmStore::Severity::Ok);
    }

    // A value the logger did not have (NAN, INF, an empty field) is stored as the empty
    // text in every format and computes to nothing: the bolt carries 10 t between levels
    // below and above it, and a gauge of a pair counted as unchanged since the baseline
    // would drop its load to 5 t, through both lower levels.
    void missingValuesStoreNoValueAndRaiseNoEvent()
    {
        const QString bolt = QStringLiteral("123435003");  // type 35: two gauges and a temperature
        TestData::addSensor(*db, {bolt});
        ColumnMap m;
        m.dateColumn = "TIMESTAMP";
        m.tempColumn = "Temp";
        m.gaugeColumns = QStringList{"Strain(1)", "Strain(2)"};
        ColumnMaps::save(*db, bolt, "TOA5", ColumnMaps::signature("TOA5", Names), m);
        const QString first = writeFile("baseline.dat", toa5(0, 0) +
                                                            "\"2024-03-05 00:00:00\",0,20.5,0,0,0\r\n"
                                                            "\"2024-03-05 01:00:00\",1,20.5,1000,1000,0\r\n");
        QCOMPARE(runCommand({"--sensor", bolt, first}).code, 0);
        AlarmStore::Levels l;
        l.loadAlertLower = 8;
        l.loadActionLower = 6;
        l.loadAlertUpper = 12;
        l.loadActionUpper = 14;
        AlarmStore::saveLevels(*db, bolt, l);
        QVERIFY(AlarmEvaluation::evaluateSensor(*db, bolt, QDateTime::currentDateTime()).evaluated);
        QCOMPARE(AlarmStore::events(*db).size(), size_t(0));

        const QString logger = writeFile("Stope4_bolt.dat", toa5(0, 0) +
                                                                "\"2024-03-05 02:00:00\",2,20.5,NAN,1000,0\r\n"
                                                                "\"2024-03-05 03:00:00\",3,20.5,1000,INF,0\r\n"
                                                                "\"2024-03-05 04:00:00\",4,NAN,1005,,0\r\n"
                                                                "\"2024-03-05 05:00:00\",5,20.5,-inf,1000,0\r\n");
        Run r = runCommand({"--sensor", bolt, logger});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(),
                 logger + ": sensor " + bolt + ": 4 appended, 0 duplicates, 0 refused lines, 0 new alarm events");
        const QString plain = writeFile(bolt + ".txt",
                                        "2024/03/05 06:00:00,7,35,123435003,20.5,nan,1000\r\n"
                                        "2024/03/05 07:00:00,7,35,123435003,20.5,1000,\r\n"
                                        "2024/03/05 08:00:00,7,35,123435003,,INF,1000\r\n");
        r = runCommand({"--sensor", bolt, plain});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(),
                 plain + ": sensor " + bolt + ": 3 appended, 0 duplicates, 0 refused lines, 0 new alarm events");
        QCOMPARE(AlarmStore::events(*db).size(), size_t(0));
        // Empty texts, never NULL, on both engines.
        QStringList stored;
        for (int h = 2; h <= 8; ++h)
            stored << db->scalar(
                            QStringLiteral("SELECT coalesce(ChannelT, 'null') || '/' || coalesce(Channel1, 'null') || "
                                           "'/' || coalesce(Channel2, 'null') FROM `%1` WHERE DateTimeKey = ?")
                                .arg(bolt),
                            {bolt + QStringLiteral(" 2024/03/05 0%1:00:00").arg(h)})
                          .toString();
        QCOMPARE(stored, (QStringList{"20.5//1000.00", "20.5/1000.00/", "/1005.00/", "20.5//1000.00", "20.5//1000.00",
                                      "20.5/1000.00/", "//1000.00"}));
    }

    // Refused lines and lines the interval leaves out, between stored ones, take nothing
    // of their neighbours: each stored reading holds its own line's values.
    void storedValuesAreEachLinesOwn()
    {
        saveMap(Sensor);
        QByteArray file = toa5(0, 0);
        for (const char* line : {"\"2024-03-05 00:00:00\",0,20.5,1,22.25,333.125", "\"2024-13-05 99:00:00\",9,1,1,1,1",
                                 "\"2024-03-05 01:00:00\",1,-3,x,2,3", "\"2024-03-05 02:00:00\",2,,-44.5,,0.004",
                                 "\"2024-03-05 03:00:00\",3,7,1,2,3", "\"2024-03-05 04:00:00\",4,19.25,NAN,5,1e400",
                                 "\"2024-03-05 05:00:00\",5,1,2,3,4", "\"2024-03-05 06:00:00\",6,-0.05,0,-0,1.995"})
            file += QByteArray(line) + "\r\n";
        const QString path = writeFile("mixed.dat", file);
        const Run r = runCommand({"--sensor", Sensor, "--interval", "2", path});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(": 3 appended, 0 duplicates, 2 refused lines"), qPrintable(r.out));
        QVERIFY2(r.out.contains("line 6: the date") && r.out.contains("line 10: gauge 3 is 1e400"), qPrintable(r.out));
        QStringList stored;
        for (const char* time : {"00", "02", "06"})
            stored << db->scalar(
                            QStringLiteral("SELECT ChannelT || '/' || Channel1 || '/' || Channel2 || '/' || Channel3 "
                                           "FROM `%1` WHERE ReadingTime = ?")
                                .arg(Sensor),
                            {QString::fromLatin1(time) + ":00:00"})
                          .toString();
        QCOMPARE(stored, (QStringList{"20.5/1.00/22.25/333.13", "/-44.50//0.00", "-0.1/0.00/0.00/2.00"}));

        // The same into a table that keeps no unique key (each key looked up first), with a
        // reading already stored at 02:00, whose line is then a duplicate.
        if (TestServer::wanted()) return;
        saveMap(Other);
        QSqlQuery q(db->handle());
        QStringList indexes;
        q.exec(QStringLiteral(
                   "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '%1' AND sql IS NOT NULL")
                   .arg(Other));
        while (q.next()) indexes << q.value(0).toString();
        for (const QString& index : indexes) db->execute(QStringLiteral("DROP INDEX `%1`").arg(index));
        QCOMPARE(runCommand({"--sensor", Other, writeFile("early.dat", toa5(2, 1))}).code, 0);
        const Run again = runCommand({"--sensor", Other, "--interval", "2", path});
        QVERIFY2(again.out.contains(": 2 appended, 1 duplicates, 2 refused lines"), qPrintable(again.out));
        stored.clear();
        for (const char* time : {"00", "02", "06"})
            stored << db->scalar(
                            QStringLiteral("SELECT ChannelT || '/' || Channel1 || '/' || Channel2 || '/' || Channel3 "
                                           "FROM `%1` WHERE ReadingTime = ?")
                                .arg(Other),
                            {QString::fromLatin1(time) + ":00:00"})
                          .toString();
        QCOMPARE(stored, (QStringList{"20.5/1.00/22.25/333.13", "20.5/1.00/2.00/3.00", "-0.1/0.00/0.00/2.00"}));
    }

    // Every line is considered whatever its place in the file: earlier times after later
    // ones go in, the interval counts in time order, and an hour repeated by a clock set
    // back is a duplicate that is counted.
    void linesInAnyOrderAreAllConsidered()
    {
        saveMap(Sensor);
        saveMap(Other);
        QByteArray file = toa5(0, 0);
        for (const char* line : {"\"2024-03-05 03:00:00\",3,20.5,1,2,3", "\"2024-03-05 01:00:00\",1,20.5,1,2,3",
                                 "\"2024-03-05 02:00:00\",2,20.5,1,2,3", "\"2024-03-05 01:00:00\",4,20.5,7,7,7",
                                 "\"2024-03-05 00:00:00\",0,20.5,1,2,3"})
            file += QByteArray(line) + "\r\n";
        const QString path = writeFile("clock.dat", file);
        Run r = runCommand({"--sensor", Sensor, path});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(": 4 appended, 1 duplicates, 0 refused lines"), qPrintable(r.out));
        QCOMPARE(count(Sensor), 4);
        QCOMPARE(db->scalar(QStringLiteral("SELECT Channel1 FROM `%1` WHERE ReadingTime = '01:00:00'").arg(Sensor))
                     .toString(),
                 QString("1.00"));  // the first of the two in the file
        r = runCommand({"--sensor", Other, "--interval", "2", path});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(": 2 appended, 0 duplicates, 0 refused lines"), qPrintable(r.out));
        QCOMPARE(count(Other), 2);
        for (const char* time : {"00:00:00", "02:00:00"})
            QVERIFY(!db->scalar(QStringLiteral("SELECT 1 FROM `%1` WHERE ReadingTime = ?").arg(Other),
                                {QString::fromLatin1(time)})
                         .isNull());
    }

    // Plot Spatial goes on one reading per calendar day: the earliest new reading of each
    // day (whatever its place in the file) that has no Plot Spatial reading stored yet; a
    // day whose first reading is a duplicate gets its next new one; a second run adds
    // only the new days'.
    void plotSpatialOnePerDay()
    {
        saveMap(Sensor);
        TestData::addReadings(*db, Sensor,
                              {{QDateTime(QDate(2024, 3, 5), QTime(6, 30)), {"1", "2", "3"}, "20.5", true, true},
                               {QDateTime(QDate(2024, 3, 7), QTime(0, 0)), {"1", "2", "3"}, "20.5", true, false}});
        // Three days of hourly records from 2024-03-05 01:00; the first of 03-06 comes last.
        QByteArray file = toa5(1, 23) + toa5(25, 47).mid(toa5(0, 0).size()) + toa5(24, 1).mid(toa5(0, 0).size());
        const QString path = writeFile("days.dat", file);
        Run r = runCommand({"--sensor", Sensor, path});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(": 70 appended, 1 duplicates, 0 refused lines"), qPrintable(r.out));
        auto spatial = [&] {
            return db
                ->scalar(QStringLiteral("SELECT group_concat(DateTimeKey, '|') FROM (SELECT DateTimeKey FROM `%1` "
                                        "WHERE PlotSpatial = 1 ORDER BY DateTimeKey) AS r")
                             .arg(Sensor))
                .toString();
        };
        QCOMPARE(spatial(), QStringList({Sensor + " 2024/03/05 06:30:00", Sensor + " 2024/03/06 00:00:00",
                                         Sensor + " 2024/03/07 01:00:00"})
                                .join('|'));

        // The last hours again and a new day: only the new day's first reading is ticked.
        const QString more = writeFile("more.dat", toa5(70, 4));
        r = runCommand({"--sensor", Sensor, more});
        QVERIFY2(r.out.contains(": 2 appended, 2 duplicates, 0 refused lines"), qPrintable(r.out));
        QCOMPARE(spatial(), QStringList({Sensor + " 2024/03/05 06:30:00", Sensor + " 2024/03/06 00:00:00",
                                         Sensor + " 2024/03/07 01:00:00", Sensor + " 2024/03/08 00:00:00"})
                                .join('|'));
        QCOMPARE(count(Sensor), 74);
    }

    // Appended readings stored with their computed columns hold bit for bit what full
    // passes of every kind store over the same readings, for each sensor type and layout;
    // where the passes' inputs are not known before the append (no readings yet, readings
    // dated before the baseline) the pass computes them all, with the same outcome.
    void appendedValuesAreThePassesOwn_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<QString>("kFactor");
        QTest::addColumn<int>("baselineDay");  // day of March 2024 of the stored readings; 0: none
        QTest::addColumn<bool>("uniqueKey");
        QTest::addColumn<bool>("onAppend");  // computed while appending
        QTest::addColumn<int>("lines");      // hourly from 01:00 on 2024-03-05 (a server writes a few row by row)
        QTest::newRow("75 stacked") << "123475001" << true << "100" << 1 << true << true << 100;
        QTest::newRow("75 staggered") << "123475001" << false << "85.5" << 1 << true << true << 100;
        QTest::newRow("55 stacked") << "123455001" << true << "100" << 1 << true << true << 100;
        QTest::newRow("35 stacked") << "123435001" << true << "120" << 1 << true << true << 100;
        QTest::newRow("45, no loads") << "123445003" << true << "100" << 1 << true << true << 100;
        QTest::newRow("k factor 0") << "123475001" << true << "0" << 1 << true << false << 100;
        QTest::newRow("75 staggered, a few lines") << "123475001" << false << "85.5" << 1 << true << true << 5;
        QTest::newRow("no key index") << "123475001" << false << "100" << 1 << false << true << 100;
        QTest::newRow("no readings yet") << "123475001" << true << "100" << 0 << true << false << 100;
        QTest::newRow("before the baseline") << "123475001" << true << "100" << 20 << true << false << 100;
    }

    void appendedValuesAreThePassesOwn()
    {
        QFETCH(QString, id);
        QFETCH(bool, stacked);
        QFETCH(QString, kFactor);
        QFETCH(int, baselineDay);
        QFETCH(bool, uniqueKey);
        QFETCH(bool, onAppend);
        QFETCH(int, lines);
        if (!uniqueKey && TestServer::wanted()) QSKIP("a table without its key index is the file's");
        TestData::addSensor(*db, {id, stacked, kFactor, QStringLiteral("0.5")});
        const int gauges =
            db->scalar(QStringLiteral("SELECT NumChannels FROM Configuration WHERE SensorType = ?"), {id.mid(4, 2)})
                .toInt();
        if (!uniqueKey) {
            QSqlQuery q(db->handle());
            QStringList indexes;
            q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '%1' AND "
                                  "sql IS NOT NULL")
                       .arg(id));
            while (q.next()) indexes << q.value(0).toString();
            for (const QString& index : indexes) db->execute(QStringLiteral("DROP INDEX `%1`").arg(index));
        }
        Shared s;
        QVERIFY(s.db.open(TestData::databaseTarget()));
        const auto passAll = [&] {
            const std::optional<Calc::SensorInputs> in = Calc::storedInputs(s.db, id);
            QVERIFY(in.has_value());
            std::vector<Calc::KindRequest> request;
            for (Calc::PassKind kind :
                 {Calc::PassKind::Load, Calc::PassKind::DispTime, Calc::PassKind::DispLength, Calc::PassKind::Shear})
                request.push_back({kind, *in, false});
            (void)Calc::runPassesOf(s, request);
        };
        if (baselineDay > 0) {
            // Three readings, the first on the length charts too, computed by every kind of pass.
            QStringList channels{"10.5", "-20", "30.25", "4", "5.5", "60"};
            QList<TestData::NewReading> readings;
            for (int h = 0; h < 3; ++h) {
                channels[h] = QString::number(channels[h].toDouble() + h);
                readings.append(
                    {QDateTime(QDate(2024, 3, baselineDay), QTime(h, 0)), channels.mid(0, gauges), "18", true, h == 0});
            }
            TestData::addReadings(*db, id, readings);
            passAll();
        }
        ColumnMap m;
        m.dateColumn = "TIMESTAMP";
        m.tempColumn = "Temp";
        for (int g = 1; g <= gauges; ++g) m.gaugeColumns << QStringLiteral("S%1").arg(g);
        ColumnMaps::save(
            *db, id, "TOA5",
            ColumnMaps::signature("TOA5", {"TIMESTAMP", "RECORD", "Temp", "S1", "S2", "S3", "S4", "S5", "S6"}), m);
        const QString path = writeFile("six.dat", sixGauges(QDateTime(QDate(2024, 3, 5), QTime(1, 0)), lines));
        const auto unmarked = [&] {
            return db->scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE IsDirty = 0").arg(id)).toInt();
        };
        const int before = unmarked();
        const ImportRun::FileReport r = ImportRun::importFile(*db, id, path, ImportRun::Options{});
        QVERIFY2(r.appended == lines, qPrintable(r.summary()));
        // The first reading of each day goes on the length charts and is left marked for
        // the pass.
        QCOMPARE(unmarked() - before, onAppend ? lines - (lines / 24 + 1) : 0);
        ImportPasses::computeAppended(TestData::databaseTarget(), QString(), {id});
        // Left to the pass, the import stores what it stored before (a pass of each kind that
        // is still recorded after the load pass), not what a full pass of every kind stores.
        if (!onAppend) return;
        const QStringList imported = computedColumns(*db, id);
        PassTables::forgetSensor(s.db, id);
        passAll();
        const QStringList full = computedColumns(*db, id);
        QCOMPARE(imported.size(), full.size());
        for (qsizetype i = 0; i < full.size(); ++i) QCOMPARE(imported[i], full[i]);
    }

    // A folder run names every file it cannot read, with the reason, and exits 2; UTF-16
    // files go in; a run with nothing new says so in one line.
    void folderTellsWhatItCannotRead()
    {
        saveMap(Sensor);
        QByteArray utf16("\xFF\xFE");
        for (QChar c : QString::fromUtf8(toa5(0, 2)))
            utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        writeFile("drop/a16.dat", utf16);
        writeFile("drop/b.csv",
                  "Date,Temp \xB0"
                  "C,Gauge1\r\n2024-03-05 14:00:00,20,1\r\n");
        const QString drop = files.filePath("drop");
        QVERIFY(QFile::link(drop + "/moved.dat", drop + "/gone.dat"));
        Run r = runCommand({"--folder", drop});
        QCOMPARE(r.code, 2);
        QCOMPARE(
            r.out.trimmed().split('\n'),
            (QStringList{
                drop + "/a16.dat: sensor " + Sensor + ": 2 appended, 0 duplicates, 0 refused lines, 0 new alarm events",
                drop + "/b.csv: failed, nothing stored: line 1: the file is not UTF-8 text: it holds bytes "
                       "that are not valid UTF-8 (save it as UTF-8 or UTF-16)",
                drop + "/gone.dat: failed, nothing stored: the file cannot be read (it is a link to " + drop +
                    "/moved.dat, which is not there)"}));
        QVERIFY(log().contains("gone.dat"));
        QCOMPARE(count(Sensor), 2);
        QVERIFY(QFile::remove(drop + "/b.csv") && QFile::remove(drop + "/gone.dat"));
        r = runCommand({"--folder", drop});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, drop + ": nothing new to import\n");
    }

    // Each file once, also when the folder is imported again; a file that grew is read
    // again and only its new lines go in; files for nobody are skipped and said so.
    void folderImportsEachFileOnce()
    {
        saveMap(Sensor);
        saveMap(Other);  // one logger file feeds two bolts
        writeFile("drop/a.dat", toa5(0, 2));
        writeFile("drop/b.dat", toa5(2, 2));
        writeFile("drop/" + Sensor + ".txt", "2024/03/06 10:00:00,7,45,123445001,19.5,1,2,3\r\n");
        writeFile("drop/notes.csv", "Name,Value\r\nx,1\r\n");
        const QString drop = files.filePath("drop");
        Run r = runCommand({"--folder", drop});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.trimmed().split('\n');
        QCOMPARE(lines, (QStringList{drop + "/" + Sensor + ".txt: sensor " + Sensor +
                                         ": 1 appended, 0 duplicates, 0 refused lines, 0 new alarm events",
                                     drop + "/a.dat: sensor " + Sensor + ", " + Other +
                                         ": 4 appended, 0 duplicates, 0 refused lines, 0 new alarm events",
                                     drop + "/b.dat: sensor " + Sensor + ", " + Other +
                                         ": 4 appended, 0 duplicates, 0 refused lines, 0 new alarm events",
                                     drop + "/notes.csv: skipped: no sensor has a column map for its layout"}));
        QCOMPARE(count(Sensor), 5);
        QCOMPARE(count(Other), 4);

        r = runCommand({"--folder", drop});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), drop + "/notes.csv: skipped: no sensor has a column map for its layout");
        QCOMPARE(count(Sensor), 5);

        writeFile("drop/b.dat", toa5(2, 3));
        const auto reports = ImportRun::importFolder(*db, drop, {});
        QCOMPARE(reports.size(), size_t(2));
        QCOMPARE(reports[0].appended, 2);
        QCOMPARE(reports[0].duplicates, 4);
        QCOMPARE(db->scalar("SELECT COUNT(*) FROM ImportedFiles").toInt(), 4);

        // A file whose header is refused fails alone; it is tried again next time.
        writeFile("drop/c.dat", toa5(9, 1).replace("\"Deg C\",", ""));
        r = runCommand({"--folder", drop});
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.contains(drop + "/c.dat: failed, nothing stored: line 3: 5 units for 6 field names"));
        QCOMPARE(db->scalar("SELECT COUNT(*) FROM ImportedFiles").toInt(), 4);
    }

    // The program open on the sensor's readings does not keep the command from writing, and
    // shows the new readings when the tab is entered again.
    void safeWhileTheProgramIsOpen()
    {
        saveMap(Sensor);
        TestData::addManyReadings(*db, Sensor, 300, QDateTime(QDate(2023, 1, 1), QTime(0, 0)), 3);
        const QString path = writeFile("Stope4_Hourly.dat", toa5(0, 4));
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QCOMPARE(w.shared().currentSensorId(), Sensor);
        w.selectTab(MainWindow::TabReadings);
        QCOMPARE(w.shared().rsReadings->recordCount(), 300);
        w.shared().rsReadings->moveFirst();
        w.shared().rsReadings->moveNext();
        const Run r = runCommand({"--sensor", Sensor, path});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(": 4 appended"));
        // The readings imported meanwhile are there at the next move, on the same tab.
        w.readings()->onLastReadingClicked();
        QCOMPARE(w.shared().rsReadings->recordCount(), 304);
        QCOMPARE(w.shared().rsReadings->absolutePosition(), 304);
        w.selectTab(MainWindow::TabIdentification);
        w.selectTab(MainWindow::TabReadings);
        QCOMPARE(w.shared().rsReadings->recordCount(), 304);
    }

    void twoRunsAtOnceImportEachFileOnce()
    {
        saveMap(Sensor);
        const int fileCount = 30;
        for (int f = 0; f < fileCount; ++f)
            writeFile(QStringLiteral("drop/f%1.dat").arg(f, 2, 10, QChar('0')), toa5(f * 10, 10));
        const QString drop = files.filePath("drop");
        QProcess a, b;
        QStringList args{"--folder", drop};
        if (TestServer::wanted()) args = QStringList{"--database", TestServer::uri()} + args;
        a.start(QStringLiteral(TARNWELL_IMPORT_EXE), args);
        b.start(QStringLiteral(TARNWELL_IMPORT_EXE), args);
        QVERIFY(a.waitForFinished(120000) && b.waitForFinished(120000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        const QString out = QString::fromUtf8(a.readAllStandardOutput() + b.readAllStandardOutput());
        QCOMPARE(out.count(": 10 appended, 0 duplicates"), fileCount);  // each file by one of them
        QVERIFY(!out.contains("failed"));
        QCOMPARE(count(Sensor), fileCount * 10);
        QCOMPARE(db->scalar("SELECT COUNT(*) FROM ImportedFiles").toInt(), fileCount);
    }
};

QTEST_MAIN(TestImporter)
#include "tst_importer.moc"
