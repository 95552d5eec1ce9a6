// The spreadsheet writer: sheet names, cell kinds, a long export continued on further
// sheets (read back from the workbook's own XML), and failures that leave no file.
#include "core/TwError.h"
#include "tools/XlsxExport.h"
#include "SheetSummary.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestXlsxExport : public QObject {
    Q_OBJECT

private slots:
    void sheetNames()
    {
        QCOMPARE(XlsxExport::sheetNameFor("123455001"), QString("123455001"));
        QCOMPARE(XlsxExport::sheetNameFor(QString(40, 'x')).size(), 31);
        QCOMPARE(XlsxExport::sheetNameFor("a/b[c]:d*e?f\\g"), QString("a_b_c__d_e_f_g"));
        QCOMPARE(XlsxExport::sheetNameFor(""), QString("Sheet1"));
    }

    void writeGridDirectly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("grid.xlsx");
        const QStringList header = {"Key", "Date", "Time", "Value", "Flag"};
        const QStringList row = {"x 2011/03/05", "2011/03/05", "14:00:00", "-5.00", "True"};
        const auto r =
            XlsxExport::writeGrid(path, QString(40, 's'), 2, 5, [&](int rr, int c) { return rr ? row[c] : header[c]; });
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(QFileInfo(path).size() > 0);
        const auto bad = XlsxExport::writeGrid(dir.filePath("missing/dir/grid.xlsx"), "s", 1, 1,
                                               [](int, int) { return QString("a"); });
        QVERIFY(!bad.ok);
        QVERIFY(!bad.error.isEmpty());
        int calls = 0;
        const auto stopped = XlsxExport::writeGrid(
            dir.filePath("stopped.xlsx"), "s", 3, 1, [](int, int) { return QString("a"); },
            [&](qint64, qint64) { return ++calls < 2; });
        QVERIFY(stopped.cancelled);
        QVERIFY(!QFile::exists(dir.filePath("stopped.xlsx")));
        QCOMPARE(QDir(dir.path()).entryList({"*.partial"}, QDir::Files), QStringList());
    }

    // What each cell is written as, read back from the workbook: a reading's date and time
    // as one real date-time (a number in a date-time format), numbers with their decimals,
    // yes/no values, and a text that only looks like a moment stays text. The heading row
    // is frozen on the data sheet, not on the further text sheet.
    void cellKindsAndFrozenHeading()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("kinds.xlsx");
        const QStringList header = {"Date and time", "Gauge 1 (\u00B5strain)", "Flag", "Day", "Not a moment", "Note"};
        const QStringList row = {"2011/03/05 18:00:00", "-5.25", "True", "2011/03/05", "2011/02/30 10:00:00", "x"};
        const auto r = XlsxExport::writeGrid(path, "s", 2, int(header.size()),
                                             [&](int rr, int c) { return rr ? row[c] : header[c]; }, {},
                                             {XlsxExport::TextSheet{"Alarm status", {{"Sensor", "250445001"}}}});
        QVERIFY2(r.ok, qPrintable(r.error));
        const QJsonArray sheets = sheetsOf(path);
        QCOMPARE(sheets.size(), 2);
        const QJsonObject sheet = sheets[0].toObject();
        QCOMPARE(sheet["heading"].toArray(), QJsonArray::fromStringList(header));
        QVERIFY(sheet["frozen"].toBool());
        QVERIFY(!sheets[1].toObject()["frozen"].toBool());
        const QJsonArray cells = sheet["firstRow"].toArray();
        QCOMPARE(cells.size(), header.size());
        const auto cell = [&](int c) { return cells[c].toObject(); };
        QCOMPARE(cell(0)["kind"].toString(), QString("number"));
        QCOMPARE(cell(0)["value"].toString().toDouble(), 40607.75);  // days since 1899/12/30, and 18 h
        QCOMPARE(cell(0)["format"].toString(), QString("yyyy/mm/dd hh:mm:ss"));
        QCOMPARE(cell(1)["value"].toString().toDouble(), -5.25);
        QCOMPARE(cell(1)["format"].toString(), QString("0.00"));
        QCOMPARE(cell(2)["kind"].toString(), QString("boolean"));
        QCOMPARE(cell(3)["format"].toString(), QString("yyyy/mm/dd"));
        QCOMPARE(cell(4)["kind"].toString(), QString("text"));
        QCOMPARE(cell(4)["value"].toString(), row[4]);
    }

    // A failure half-way - the source's, or a cell the library refuses - says why and
    // leaves nothing that looks like a finished workbook; a file of that name from before
    // stays as it was.
    void failedExportLeavesNoWorkbook()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("readings.xlsx");
        QVERIFY(XlsxExport::writeGrid(path, "s", 2, 1, [](int, int) { return QString("1"); }).ok);
        const QByteArray earlier = bytes(path);

        const auto failed = XlsxExport::writeRows(path, "s", {"a"}, 2, [](const XlsxExport::RowSink& row) {
            const QByteArrayView cell("1");
            row(&cell);
            throw TwError(ErrNo::DatabaseError, QStringLiteral("disk I/O error"));
        });
        QVERIFY(!failed.ok);
        QCOMPARE(failed.error, QString("disk I/O error"));
        QCOMPARE(bytes(path), earlier);

        // A text longer than a cell may hold is refused by the library, not dropped.
        const QByteArray tooLong(40000, 'x');
        const auto refused =
            XlsxExport::writeRows(dir.filePath("long.xlsx"), "s", {"a"}, 2, [&](const XlsxExport::RowSink& row) {
                const QByteArrayView ok("2"), cell(tooLong);
                if (row(&ok)) row(&cell);
            });
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.startsWith("A cell could not be written"), qPrintable(refused.error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"readings.xlsx"});
    }

    // Past a sheet's 1,048,576 rows (heading included) the readings go on on a second
    // sheet under the same heading, before the further sheets given; not one is lost.
    void longExportContinuesOnAFurtherSheet()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("long.xlsx");
        const qint64 readings = 1100000;
        const QStringList header = {"Reading", "Date"};
        qint64 lastProgress = 0;
        const auto r = XlsxExport::writeRows(
            path, QString(31, 's'), header, readings,
            [&](const XlsxExport::RowSink& row) {
                QByteArray number;
                const QByteArray date("2011/03/05");
                QByteArrayView cells[2];
                for (qint64 i = 1; i <= readings; ++i) {
                    number.setNum(i);
                    cells[0] = number;
                    cells[1] = date;
                    if (!row(cells)) return;
                }
            },
            [&](qint64 done, qint64) { return (lastProgress = done), true; },
            {XlsxExport::TextSheet{"Alarm status", {{"Sensor", "250445001"}}}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(lastProgress, readings);

        const QJsonArray sheets = sheetsOf(path);
        QCOMPARE(sheets.size(), 3);
        const QJsonObject first = sheets[0].toObject(), second = sheets[1].toObject();
        QCOMPARE(first["name"].toString(), QString(31, 's'));
        QCOMPARE(second["name"].toString(), QString(27, 's') + " (2)");
        QCOMPARE(sheets[2].toObject()["name"].toString(), QString("Alarm status"));
        for (const QJsonObject& s : {first, second}) {
            QCOMPARE(s["heading"].toArray(), QJsonArray::fromStringList(header));
            QVERIFY(s["frozen"].toBool());
            QVERIFY(s["consecutive"].toBool());
        }
        QCOMPARE(first["lastRow"].toInt(), 1048576);
        QCOMPARE(first["count"].toInt(), 1048575);
        QCOMPARE(first["first"].toDouble(), 1.0);
        QCOMPARE(second["first"].toDouble(), first["last"].toDouble() + 1);
        QCOMPARE(second["last"].toDouble(), double(readings));
        QCOMPARE(first["count"].toInt() + second["count"].toInt(), int(readings));
    }
};

QTEST_GUILESS_MAIN(TestXlsxExport)
#include "tst_xlsxexport.moc"
