// The sensor filter's criteria: the texts of the examples, the binding of typed values,
// date checks and the refusals.
#include "maintenance/FilterCriteria.h"
#include "store/Database.h"

#include <QLocale>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using FilterCriteria::Problem;
Q_DECLARE_METATYPE(FilterCriteria::Input)
Q_DECLARE_METATYPE(FilterCriteria::Problem)

class TestFilterCriteria : public QObject {
    Q_OBJECT
    const QDate today{2011, 3, 5};

    static FilterCriteria::Input input(bool destroyed, const QString& type, const QString& level = {},
                                       const QString& location = {}, const QString& start = {}, const QString& end = {})
    {
        return {destroyed, type, level, location, start, end};
    }

private slots:
    void typeCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("code");  // "?" = not recognized
        QTest::newRow("list entry 45") << "45: d3HALYX"
                                       << "45";
        QTest::newRow("bare 45") << "45"
                                 << "45";
        QTest::newRow("blanks around") << "  65: d5HALYX "
                                       << "65";
        QTest::newRow("25") << "25"
                            << "25";
        QTest::newRow("55 entry") << "55: d4HALYX"
                                  << "55";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("46") << "46"
                            << "?";
        QTest::newRow("75 entry") << "75: d6HALYX"
                                  << "75";
        QTest::newRow("bare 35") << "35"
                                 << "35";
        QTest::newRow("wrong model") << "45: d4HALYX"
                                     << "?";
        QTest::newRow("part of a code") << "4"
                                        << "?";
    }
    void typeCodes()
    {
        QFETCH(QString, text);
        QFETCH(QString, code);
        const auto got = FilterCriteria::typeCode(text);
        if (code == "?") QVERIFY(!got);
        else QCOMPARE(*got, code);
    }

    // The types offered are those of the database's Configuration table, whatever they are.
    void typesComeFromTheEntriesGiven()
    {
        const QStringList entries = {FilterCriteria::typeEntry("75", "d6HALYX"), FilterCriteria::typeEntry(" 85 ", "")};
        QCOMPARE(entries, (QStringList{"75: d6HALYX", "85"}));
        QCOMPARE(FilterCriteria::typeCode("85", entries).value_or("?"), QString("85"));
        QCOMPARE(FilterCriteria::typeCode("75", entries).value_or("?"), QString("75"));
        QVERIFY(!FilterCriteria::typeCode("25", entries));
        QCOMPARE(FilterCriteria::standardTypeEntries(), (QStringList{"25: d1HALYX", "35: d2HALYX", "45: d3HALYX",
                                                                     "55: d4HALYX", "65: d5HALYX", "75: d6HALYX"}));
    }

    void criteriaTexts_data()
    {
        QTest::addColumn<FilterCriteria::Input>("in");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QVariantList>("binds");
        QTest::newRow("box and type 25") << input(true, "25") << "Destroyed = 'No' AND SensorType ='25'"
                                         << "Destroyed = ? AND SensorType = ?" << QVariantList{"No", "25"};
        QTest::newRow("only the box") << input(true, "") << "Destroyed = 'No'"
                                      << "Destroyed = ?" << QVariantList{"No"};
        QTest::newRow("level and location")
            << input(false, "", " 1200 ", "North") << "Level contains '1200' AND Location contains 'North'"
            << "Level LIKE ? ESCAPE '\\' AND Location LIKE ? ESCAPE '\\'" << QVariantList{"%1200%", "%North%"};
        QTest::newRow("start only ends today")
            << input(false, "", "", "", "2009/01/01")
            << "InstallDate >= 2009/01/01 AND InstallDate <= " +
                   QLocale::system().toString(QDate(2011, 3, 5), QLocale::ShortFormat)
            << "InstallDate >= ? AND InstallDate <= ?" << QVariantList{"2009/01/01", "2011/03/05"};
        QTest::newRow("end only starts 1999")
            << input(false, "", "", "", "", "2010/6/30") << "InstallDate >= 1999/01/01 AND InstallDate <= 2010/6/30"
            << "InstallDate >= ? AND InstallDate <= ?" << QVariantList{"1999/01/01", "2010/06/30"};
        QTest::newRow("quote and wildcards in location")
            << input(false, "", "", "O'Brien's 10%_dr\\ift") << "Location contains 'O''Brien''s 10%_dr\\ift'"
            << "Location LIKE ? ESCAPE '\\'" << QVariantList{"%O'Brien's 10\\%\\_dr\\\\ift%"};
        QTest::newRow("everything")
            << input(true, "55: d4HALYX", "800", "South", "2010-01-01", "2010-12-31")
            << "Destroyed = 'No' AND SensorType ='55' AND Level contains '800' AND Location contains 'South' AND "
               "InstallDate >= 2010-01-01 AND InstallDate <= 2010-12-31"
            << "Destroyed = ? AND SensorType = ? AND Level LIKE ? ESCAPE '\\' AND Location LIKE ? ESCAPE '\\' AND "
               "InstallDate >= ? AND InstallDate <= ?"
            << QVariantList{"No", "55", "%800%", "%South%", "2010/01/01", "2010/12/31"};
    }
    void criteriaTexts()
    {
        QFETCH(FilterCriteria::Input, in);
        QFETCH(QString, text);
        QFETCH(QString, where);
        QFETCH(QVariantList, binds);
        const FilterCriteria::Result r = FilterCriteria::build(in, today);
        QCOMPARE(int(r.problem), int(Problem::None));
        QCOMPARE(r.criteria.text, text);
        QCOMPARE(r.criteria.where, where);
        QCOMPARE(r.criteria.binds, binds);
    }

    void refusals_data()
    {
        QTest::addColumn<FilterCriteria::Input>("in");
        QTest::addColumn<Problem>("problem");
        QTest::newRow("nothing") << input(false, "  ") << Problem::NoCriteria;
        QTest::newRow("type 46") << input(true, "46") << Problem::UnknownType;
        QTest::newRow("type checked before dates") << input(false, "46", "", "", "bad") << Problem::UnknownType;
        QTest::newRow("start 2011/13/45") << input(false, "", "", "", "2011/13/45") << Problem::BadStartDate;
        QTest::newRow("end 2011/02/30") << input(false, "", "", "", "2011/01/01", "2011/02/30") << Problem::BadEndDate;
        QTest::newRow("end words") << input(false, "", "", "", "", "yesterday") << Problem::BadEndDate;
    }
    void refusals()
    {
        QFETCH(FilterCriteria::Input, in);
        QFETCH(Problem, problem);
        QCOMPARE(int(FilterCriteria::build(in, today).problem), int(problem));
    }

    void datesAccepted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("yyyy/mm/dd") << "2009/01/01" << QDate(2009, 1, 1);
        QTest::newRow("short parts") << "2009/1/5" << QDate(2009, 1, 5);
        QTest::newRow("dashes") << "2012-02-29" << QDate(2012, 2, 29);
        QTest::newRow("locale short") << QLocale::system().toString(QDate(2010, 7, 4), QLocale::ShortFormat)
                                      << QDate(2010, 7, 4);
    }
    void datesAccepted()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(FilterCriteria::parseDate(text).value_or(QDate()), date);
    }

    // The criteria run against a Sensors table: level and location match any part, case
    // ignored; typed quotes, wildcards and SQL are matched as text; the date range compares
    // days, ends included.
    void criteriaSelectTheRightSensors()
    {
        QTemporaryDir dir;
        Database db(QStringLiteral("filter"));
        QVERIFY(db.create(dir.filePath("f.db")));
        db.execute(
            "CREATE TABLE Sensors (InstrumentID TEXT, SensorType TEXT, Level TEXT, Location TEXT, "
            "InstallDate TEXT, Destroyed TEXT)");
        const QList<QStringList> rows = {
            {"1", "25", "1200", "North", "2008/12/31", "No"},
            {"2", "25", "1200", "O'Brien's drift", "2009/01/01", "No"},
            {"3", "45", "800", "x' OR '1'='1", "2010/06/15", "Yes"},
            {"4", "45", "800", "North", "2011/03/05", "No"},
            {"5", "55", "800", "North", "2011/03/06", "No"},
            {"6", "75", "B800", "Stope 10% east", "2011/03/07", "No"},
            {"7", "75", "1080", "Stope 10 east", "2011/03/07", "No"},
            {"8", "75", "1500", "stope_1", "2011/03/07", "No"},
        };
        for (const QStringList& r : rows)
            db.execute("INSERT INTO Sensors VALUES (?,?,?,?,?,?)", {r[0], r[1], r[2], r[3], r[4], r[5]});
        auto ids = [&](const FilterCriteria::Input& in) {
            const FilterCriteria::Result r = FilterCriteria::build(in, today);
            QSqlQuery q(db.handle());
            q.prepare("SELECT InstrumentID FROM Sensors WHERE " + r.criteria.where + " ORDER BY InstrumentID");
            for (const QVariant& b : r.criteria.binds) q.addBindValue(b);
            if (!q.exec()) return QStringList{"<failed>"};
            QStringList out;
            while (q.next()) out << q.value(0).toString();
            return out;
        };
        QCOMPARE(ids(input(false, "", "", "O'Brien's drift")), QStringList{"2"});
        QCOMPARE(ids(input(false, "", "", "o'brien")), QStringList{"2"});
        QCOMPARE(ids(input(false, "", "800")), (QStringList{"3", "4", "5", "6"}));
        QCOMPARE(ids(input(false, "", "", "NORTH")), (QStringList{"1", "4", "5"}));
        QCOMPARE(ids(input(false, "", "", "10%")), QStringList{"6"});
        QCOMPARE(ids(input(false, "", "", "e_1")), QStringList{"8"});
        QCOMPARE(ids(input(false, "", "8_0")), QStringList{});
        QCOMPARE(ids(input(false, "", "", "x' OR '1'='1")), QStringList{"3"});
        QCOMPARE(ids(input(false, "", "", "x' OR '1'='1'; DROP TABLE Sensors; --")), QStringList{});
        QCOMPARE(db.scalar("SELECT count(*) FROM Sensors").toInt(), int(rows.size()));
        QCOMPARE(ids(input(false, "", "", "", "2009/1/1")), (QStringList{"2", "3", "4"}));
        QCOMPARE(ids(input(false, "", "", "", "", "2009/01/01")), (QStringList{"1", "2"}));
        QCOMPARE(ids(input(true, "45")), QStringList{"4"});
        QCOMPARE(ids(input(false, "", "800", "North", "2011/03/05", "2011/03/06")), (QStringList{"4", "5"}));
        QCOMPARE(ids(input(false, "75")), (QStringList{"6", "7", "8"}));
        db.close();
    }
};

QTEST_GUILESS_MAIN(TestFilterCriteria)
#include "tst_filtercriteria.moc"
