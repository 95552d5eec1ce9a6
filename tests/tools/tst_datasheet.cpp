// The datasheet: its columns per sensor type, the key rules and their messages, flag
// switching, write-back only when something changed (and only of the shown values), the
// return to the saved reading, and the spreadsheet export.
#include "support/TestEnv.h"
#include "ModalHelper.h"
#include "app/frmTarnwell.h"
#include "core/Paths.h"
#include "data/Rejections.h"
#include "data/SensorData.h"
#include "readings/ReadingsController.h"
#include "store/Database.h"
#include "tools/DatasheetModel.h"
#include "tools/GridWidgets.h"
#include "tools/ToolsController.h"
#include "store/RowVersions.h"
#include "tools/frmDatasheet.h"
#include "SheetSummary.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QToolButton>
#include <QtTest>

namespace {
const QString Sensor = QStringLiteral("123455001");   // type 55: four gauges
const QDateTime Start(QDate(2011, 3, 5), QTime(14, 0));
}

class TestDatasheet : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;

    // Counts updates of the sensor's rows from now on.
    void watchUpdates(const QString& id)
    {
        db->execute(QStringLiteral("CREATE TABLE IF NOT EXISTS updates (n INTEGER)"));
        if (db->isServer()) {
            db->executeOnServer(QStringLiteral("CREATE OR REPLACE FUNCTION watch() RETURNS trigger AS $$ BEGIN "
                                               "INSERT INTO updates (n) VALUES (1); RETURN NULL; END $$ LANGUAGE plpgsql"));
            db->executeOnServer(QStringLiteral("CREATE OR REPLACE TRIGGER watch AFTER UPDATE ON \"%1\" FOR EACH ROW "
                                               "EXECUTE FUNCTION watch()").arg(id));
            return;
        }
        db->execute(QStringLiteral("CREATE TRIGGER IF NOT EXISTS watch AFTER UPDATE ON `%1` BEGIN INSERT INTO updates VALUES (1); END").arg(id));
    }
    int updates() { return db->scalar(QStringLiteral("SELECT COUNT(*) FROM updates")).toInt(); }

    QString field(const QString& id, const QString& column, int position)
    {
        QSqlQuery q(db->handle());
        q.exec(QStringLiteral("SELECT %1 FROM `%2` ORDER BY FullDate LIMIT 1 OFFSET %3").arg(column, id).arg(position));
        q.next();
        return q.value(0).toString();
    }

    // Opens the datasheet from the main window and acts on it; act must close it.
    bool runDatasheet(frmTarnwell& w, std::function<void(frmDatasheet*)> act)
    {
        bool seen = false;
        whenOpen<frmDatasheet>("frmDatasheet", std::move(act), &seen);
        w.tools()->imgDatasheet_Click();
        QCoreApplication::processEvents();
        return seen;
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::addSensor(*db, {Sensor});
        TestData::addReadings(*db, Sensor, {{Start, {"1.00", "2.00", "3.00", "4.00"}, "20.0", true, false},
                                            {Start.addSecs(3600), {"5.00", "6.00", "7.00", "8.00"}, "", false, true},
                                            {Start.addSecs(7200), {"9.00", "", "", ""}, "21.0", true, true}});
        db->execute(QStringLiteral("UPDATE `%1` SET Load1 = 12.5, zero1 = 3").arg(Sensor));
    }
    void cleanup() { ToolsController::setExportFolder(QString()); }

    void columnsPerType_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("headers");
        QTest::newRow("type 25, one gauge") << "123425001"
                                            << QStringList{"DateTime Key", "ReadingDate", "R. Time", "ChannelT", "Channel1", "PlotTemporal", "PlotSpatial"};
        QTest::newRow("type 65, five gauges") << "123465001"
                                              << QStringList{"DateTime Key", "ReadingDate", "R. Time", "ChannelT", "Channel1", "Channel2",
                                                             "Channel3", "Channel4", "Channel5", "PlotTemporal", "PlotSpatial"};
        QTest::newRow("type 75, six gauges") << "123475001"
                                             << QStringList{"DateTime Key", "ReadingDate", "R. Time", "ChannelT", "Channel1", "Channel2",
                                                            "Channel3", "Channel4", "Channel5", "Channel6", "PlotTemporal", "PlotSpatial"};
    }
    void columnsPerType()
    {
        QFETCH(QString, id);
        QFETCH(QStringList, headers);
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, {{Start, {"1", "2", "3", "4", "5", "6"}, "20.0"}});
        db->execute(QStringLiteral("DELETE FROM Sensors WHERE InstrumentID <> ?"), {id});
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        QStringList shown;
        QString label;
        QVERIFY(runDatasheet(w, [&](frmDatasheet* d) {
            for (int c = 0; c < d->model()->columnCount(); ++c) shown << d->model()->headerData(c, Qt::Horizontal).toString();
            label = d->lblHeader->text();
            QCOMPARE(d->windowTitle(), QString("Tarnwell DataSheet"));
            // The flag columns show their mark only.
            const QModelIndex flag = d->model()->index(0, headers.size() - 2);
            QVERIFY(flag.data(Qt::DisplayRole).toString().isEmpty());
            QCOMPARE(flag.data(DatasheetModel::MarkRole).toBool(), true);
            QCOMPARE(d->model()->index(0, headers.size() - 1).data(DatasheetModel::MarkRole).toBool(), false);
            d->close();
        }));
        QCOMPARE(shown, headers);
        QCOMPARE(label, "Data for Sensor " + id);
    }

    void noReadings()
    {
        db->execute(QStringLiteral("DELETE FROM `%1`").arg(Sensor));
        DatasheetModel model(*db, Sensor, 4);
        model.load();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("No Readings"));
        QCOMPARE(model.columnCount(), 1);
    }

    void cellsInDateOrder()
    {
        DatasheetModel model(*db, Sensor, 4);
        model.load();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(0, 0).data().toString(), TestData::readingKey(Sensor, Start));
        QCOMPARE(model.index(1, 1).data().toString(), QString("2011/03/05"));
        QCOMPARE(model.index(1, 2).data().toString(), QString("15:00:00"));
        QCOMPARE(model.index(1, 3).data().toString(), QString(""));
        QCOMPARE(model.index(1, 7).data().toString(), QString("8.00"));
    }

    void keyRules_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");      // the cell afterwards
        QTest::addColumn<QStringList>("messages");
        const QString a = DatasheetModel::MessageA, b = DatasheetModel::MessageB;
        QTest::newRow("digit in a gauge column") << 4 << "7" << "1.007" << QStringList{};
        QTest::newRow("backspace then digits") << 4 << "\b\b\b25" << "125" << QStringList{};
        QTest::newRow("letter in a gauge column") << 5 << "a" << "2.00" << QStringList{b};
        QTest::newRow("minus is refused") << 5 << "-" << "2.00" << QStringList{b};
        QTest::newRow("a second point is refused") << 5 << "." << "2.00" << QStringList{b};
        QTest::newRow("digit in the date column") << 1 << "7" << "2011/03/05" << QStringList{a};
        QTest::newRow("letter in the key column") << 0 << "x" << TestData::readingKey(Sensor, Start) << QStringList{a};
        QTest::newRow("backspace in the time column") << 2 << "\b" << "14:00:00" << QStringList{};
    }
    void keyRules()
    {
        QFETCH(int, column);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(QStringList, messages);
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        m.script.shown.clear();
        QString after;
        bool changed = false;
        QVERIFY(runDatasheet(w, [&](frmDatasheet* d) {
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(0, column));
            for (QChar ch : keys) {
                if (ch == u'\b') QTest::keyClick(d->MSFlexGrid1, Qt::Key_Backspace);
                else QTest::keyClicks(d->MSFlexGrid1, QString(ch));
            }
            after = d->model()->index(0, column).data().toString();
            changed = d->model()->changed();
            d->close();
        }));
        QCOMPARE(after, text);
        QCOMPARE(m.script.texts(), messages);
        for (const auto& box : m.script.shown) {
            QCOMPARE(box.title, QString("Orrisford's Tarnwell"));
            QCOMPARE(box.icon, Messages::Icon::Information);
        }
        QCOMPARE(changed, column >= 3 && messages.isEmpty() && !keys.isEmpty());
    }

    void tabMovesAcrossAndWraps()
    {
        DatasheetModel model(*db, Sensor, 4);
        model.load();
        const int last = model.columnCount() - 1;
        QCOMPARE(model.nextCell(model.index(0, 2)), model.index(0, 3));
        QCOMPARE(model.nextCell(model.index(0, last)), model.index(1, 0));
        QCOMPARE(model.nextCell(model.index(2, last)), model.index(0, 0));
        QCOMPARE(model.typeKey(model.index(1, 1), u'\t'), DatasheetModel::KeyResult::MoveNext);
    }

    void closingWithoutChangesWritesNothing()
    {
        watchUpdates(Sensor);
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(0, 1));
            QTest::keyClicks(d->MSFlexGrid1, "7");   // refused: no change
            d->close();
        }));
        QCOMPARE(updates(), 0);
    }

    void editIsWrittenBackByName()
    {
        watchUpdates(Sensor);
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(1, 4));
            QTest::keyClick(d->MSFlexGrid1, Qt::Key_Backspace);
            QTest::keyClick(d->MSFlexGrid1, Qt::Key_Backspace);
            QTest::keyClick(d->MSFlexGrid1, Qt::Key_Backspace);   // "5.00" -> "5"
            QTest::keyClicks(d->MSFlexGrid1, "7");                  // "57"
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(1, 3));
            QTest::keyClicks(d->MSFlexGrid1, "19.25");              // empty ChannelT
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(1, 6));
            for (int i = 0; i < 8; ++i) QTest::keyClick(d->MSFlexGrid1, Qt::Key_Backspace);   // Channel3 emptied
            d->MSFlexGrid1_Click(d->model()->index(0, 8));          // PlotTemporal of the first reading off
            d->close();
        }));
        QCOMPARE(updates(), 2);   // only the two touched readings
        QCOMPARE(field(Sensor, "Channel1", 1), QString("57.00"));
        QCOMPARE(field(Sensor, "ChannelT", 1), QString("19.3"));   // half away from zero
        QCOMPARE(field(Sensor, "Channel2", 1), QString("6.00"));
        QCOMPARE(field(Sensor, "coalesce(Channel3, 'null')", 1), QString());   // the empty text, not null
        QCOMPARE(field(Sensor, "Plottemporal", 0), QString("0"));
        QCOMPARE(field(Sensor, "PlotSpatial", 0), QString("0"));
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.00"));
        // Nothing else in the rows changed.
        QCOMPARE(field(Sensor, "Load1", 1), QString("12.5"));
        QCOMPARE(field(Sensor, "zero1", 1), QString("3"));
        QCOMPARE(field(Sensor, "DateTimeKey", 1), TestData::readingKey(Sensor, Start.addSecs(3600)));
        QCOMPARE(field(Sensor, "FullDate", 1), QString("2011-03-05 15:00:00"));
    }

    // A typed value must be one number within the type's limits (-10000..10000, the
    // temperature -20..60): leaving the cell or closing refuses it, names the column as
    // its header does, and puts the stored value back; no value stays allowed.
    void typedValuesMustBeOneNumberWithinTheLimits()
    {
        db->execute(QStringLiteral("UPDATE `%1` SET Channel2 = '1.2.3' WHERE Channel1 = '1.00'").arg(Sensor));
        watchUpdates(Sensor);
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        QStringList afterLeaving;
        bool openAfterRefusedClose = false;
        QVERIFY(runDatasheet(w, [&](frmDatasheet* d) {
            auto cell = [&](int row, int column) { return d->model()->index(row, column); };
            auto type = [&](int row, int column, int erase, const QString& keys) {
                d->MSFlexGrid1->setCurrentIndex(cell(row, column));
                for (int i = 0; i < erase; ++i) QTest::keyClick(d->MSFlexGrid1, Qt::Key_Backspace);
                QTest::keyClicks(d->MSFlexGrid1, keys);
            };
            type(0, 5, 0, "4");         // a stored "1.2.3" becomes "1.2.34"
            type(1, 4, 4, "99999");     // "5.00" -> 99999
            type(0, 3, 4, "61");        // "20.0" -> 61, refused when closing
            afterLeaving = {cell(0, 5).data().toString(), cell(1, 4).data().toString()};
            d->close();
            openAfterRefusedClose = d->isVisible();
            QCOMPARE(cell(0, 3).data().toString(), QString("20.0"));
            type(2, 6, 0, "7");         // empty Channel3 -> 7
            type(0, 4, 4, "");          // Channel1 emptied: no value
            type(1, 3, 0, "60");        // a limit itself passes
            d->close();
        }));
        const QStringList texts = m.script.texts();
        QCOMPARE(texts.size(), 3);
        QCOMPARE(texts[0], "Channel2 of reading " + TestData::readingKey(Sensor, Start) +
                               ": \"1.2.34\" is not one number.\r\nThe cell keeps its stored value (1.2.3).");
        QCOMPARE(texts[1], "Channel1 of reading " + TestData::readingKey(Sensor, Start.addSecs(3600)) +
                               ": 99999 is outside the limits of this sensor type (-10000 to 10000).\r\n"
                               "The cell keeps its stored value (5.00).");
        QVERIFY2(texts[2].startsWith("ChannelT of reading ") &&
                     texts[2].contains(": 61 is outside the limits of this sensor type (-20 to 60)."),
                 qPrintable(texts[2]));
        QCOMPARE(afterLeaving, QStringList({"1.2.3", "5.00"}));
        QVERIFY(openAfterRefusedClose);
        QCOMPARE(updates(), 3);
        QCOMPARE(field(Sensor, "Channel2", 0), QString("1.2.3"));
        QCOMPARE(field(Sensor, "Channel1", 1), QString("5.00"));
        QCOMPARE(field(Sensor, "ChannelT", 0), QString("20.0"));
        QCOMPARE(field(Sensor, "coalesce(Channel1, 'null')", 0), QString());
        QCOMPARE(field(Sensor, "ChannelT", 1), QString("60.0"));
        QCOMPARE(field(Sensor, "Channel3", 2), QString("7.00"));
    }

    // Written back without the window, a refused typed value stores nothing at all.
    void writeBackRefusesAnyValueOutsideTheRules()
    {
        watchUpdates(Sensor);
        DatasheetModel model(*db, Sensor, 4);
        model.load();
        model.typeKey(model.index(0, 4), u'5');                        // "1.005": fine
        for (QChar ch : QString("99999")) model.typeKey(model.index(2, 5), ch);   // "" -> 99999
        try {
            model.writeBack();
            QFAIL("a value outside the limits was written");
        } catch (const TwError& e) {
            QCOMPARE(e.number, ErrNo::TypeMismatch);
            QVERIFY2(e.description.startsWith("Channel2 of reading ") && e.description.endsWith("Nothing was saved."),
                     qPrintable(e.description));
        }
        QCOMPARE(updates(), 0);
        QCOMPARE(model.index(2, 5).data().toString(), QString());
        QCOMPARE(model.writeBack(), 1);
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.01"));
        QCOMPARE(field(Sensor, "Channel2", 2), QString());
    }

    // A value or a whole reading is rejected from the chosen cell and restored; its cells
    // show greyed with the mark, and the values stay stored.
    void rejectingAndRestoringFromTheGrid()
    {
        ScriptedMessages m;
        m.script.promptAnswers = {"spike", "bad logger"};
        frmTarnwell w;
        w.show();
        const QString second = TestData::readingKey(Sensor, Start.addSecs(3600));
        auto reason = [&](const QString& key, int gauge) {
            return db->scalar("SELECT Reason FROM Rejections WHERE SensorID = ? AND DateTimeKey = ? AND Gauge = ?",
                              {Sensor, key, gauge}).toString();
        };
        QVERIFY(runDatasheet(w, [&](frmDatasheet* d) {
            DatasheetModel* model = d->model();
            d->MSFlexGrid1->setCurrentIndex(model->index(1, 5));   // Channel2 of the second reading
            d->cmdReject->click();
            QCOMPARE(reason(second, 2), QString("spike"));
            QVERIFY(model->index(1, 5).data(Qt::ToolTipRole).toString().endsWith(": spike"));
            QCOMPARE(model->index(1, 5).data(Qt::ForegroundRole).value<QColor>(), QColor(0x909090));
            QCOMPARE(model->index(1, 5).data().toString(), QString("6.00"));
            QVERIFY(model->index(1, 4).data(Qt::ToolTipRole).isNull());
            d->MSFlexGrid1->setCurrentIndex(model->index(0, 1));   // a date cell: the whole reading
            d->cmdReject->click();
            for (int c = 0; c < 8; ++c)
                QVERIFY(model->index(0, c).data(Qt::ToolTipRole).toString().endsWith(": bad logger"));
            d->MSFlexGrid1->setCurrentIndex(model->index(1, 5));
            d->cmdReject->click();   // rejected: asks to restore (Yes)
            QVERIFY(reason(second, 2).isEmpty());
            QVERIFY(model->index(1, 5).data(Qt::ToolTipRole).isNull());
            d->close();
        }));
        QCOMPARE(reason(TestData::readingKey(Sensor, Start), 0), QString("bad logger"));
        QCOMPARE(field(Sensor, "Channel2", 1), QString("6.00"));
    }

    // The readings written back are marked for the calculations; the others are not.
    void writtenReadingsAreMarked()
    {
        db->execute(QStringLiteral("UPDATE `%1` SET IsDirty = 0").arg(Sensor));
        DatasheetModel model(*db, Sensor, 4);
        model.load();
        model.toggle(model.index(2, 8));
        model.typeKey(model.index(0, 4), u'5');
        QCOMPARE(model.writeBack(), 2);
        QCOMPARE(field(Sensor, "IsDirty", 0), QString("1"));
        QCOMPARE(field(Sensor, "IsDirty", 1), QString("0"));
        QCOMPARE(field(Sensor, "IsDirty", 2), QString("1"));
    }

    // The rows exported are the grid's, edits not yet written back included, read in one go.
    void exportRowsAreTheGridsRows()
    {
        DatasheetModel model(*db, Sensor, 4);
        model.load();
        model.typeKey(model.index(1, 4), u'9');
        model.toggle(model.index(0, 9));
        QList<QStringList> rows;
        model.exportRows([&](const QByteArrayView* cells) {
            QStringList r;
            for (int c = 0; c < model.columnCount(); ++c) r << QString::fromUtf8(cells[c].data(), cells[c].size());
            rows << r;
            return true;
        });
        QCOMPARE(rows.size(), 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < model.columnCount(); ++c) QCOMPARE(rows[r][c], model.cellText(r, c));
        QCOMPARE(rows[1][4], QString("5.009"));
        QCOMPARE(rows[0][9], QString("True"));
        QCOMPARE(rows[2][8], QString("True"));
        QCOMPARE(rows[1][8], QString("False"));
        int seen = 0;
        model.exportRows([&](const QByteArrayView*) { return ++seen < 2; });
        QCOMPARE(seen, 2);   // stopped when asked
    }

    // "Discard changes" asks first (No by default): Yes closes and writes nothing, No keeps
    // the window open with the edits, and "Close" then writes them.
    void discardChanges()
    {
        watchUpdates(Sensor);
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        m.script.shown.clear();
        bool enabledBefore = true, enabledAfter = false, openAfterNo = false;
        QString units, tip;
        QVERIFY(runDatasheet(w, [&](frmDatasheet* d) {
            units = d->model()->headerData(4, Qt::Horizontal, DatasheetModel::UnitRole).toString() + '|' +
                    d->model()->headerData(3, Qt::Horizontal, DatasheetModel::UnitRole).toString();
            tip = d->model()->headerData(4, Qt::Horizontal, Qt::ToolTipRole).toString();
            enabledBefore = d->cmdDiscard->isEnabled();
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(0, 4));
            QTest::keyClicks(d->MSFlexGrid1, "9");               // "1.00" -> "1.009"
            d->MSFlexGrid1_Click(d->model()->index(1, 8));      // a plot mark switched
            enabledAfter = d->cmdDiscard->isEnabled();
            m.script.answers = {Messages::Answer::No};
            d->cmdDiscard->click();
            openAfterNo = d->isVisible();
            d->cmdDiscard->click();                              // Yes (the script's default)
        }));
        QCOMPARE(units, QString("\u00B5strain|\u00B0C"));
        QVERIFY(tip.contains("\u00B5strain"));
        QVERIFY(!enabledBefore);
        QVERIFY(enabledAfter);
        QVERIFY(openAfterNo);
        QCOMPARE(m.script.texts().size(), 2);
        QCOMPARE(m.script.texts()[0], "Discard the changes to 2 readings of sensor " + Sensor +
                                          "?\r\nThe stored values stay as they were.");
        QCOMPARE(m.script.shown[0].defaultButton, std::optional<Messages::Answer>(Messages::Answer::No));
        QCOMPARE(updates(), 0);
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.00"));
        QCOMPARE(field(Sensor, "Plottemporal", 1), QString("0"));

        // "Close" keeps what was typed.
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(0, 4));
            QTest::keyClicks(d->MSFlexGrid1, "9");
            d->cmdClose->click();
        }));
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.01"));
        QCOMPARE(field(Sensor, "Plottemporal", 1), QString("0"));
    }

    // Another user corrected one of the readings meanwhile: closing stores nothing, says who,
    // and the window stays open with that reading's stored values and the other correction;
    // closing again stores the other correction.
    void correctionsOverAnotherUsersChangeAreRefused()
    {
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        m.script.shown.clear();
        bool stillOpen = false;
        QString shownAfter;
        QVERIFY(runDatasheet(w, [&](frmDatasheet* d) {
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(0, 4));
            QTest::keyClicks(d->MSFlexGrid1, "9");   // "1.00" -> "1.009"
            d->MSFlexGrid1->setCurrentIndex(d->model()->index(1, 4));
            QTest::keyClicks(d->MSFlexGrid1, "9");   // "5.00" -> "5.009"
            db->setUserName("ben");
            db->execute(QStringLiteral("UPDATE `%1` SET Channel1 = '5.50', ").arg(Sensor) + RowVersions::setNext() +
                            QStringLiteral(" WHERE DateTimeKey = ?"),
                        {"ben", RowVersions::now(), TestData::readingKey(Sensor, Start.addSecs(3600))});
            d->close();
            stillOpen = d->isVisible();
            shownAfter = d->model()->cellText(1, 4);
            d->close();
        }));
        QVERIFY(stillOpen);
        QCOMPARE(shownAfter, QString("5.50"));
        QCOMPARE(m.script.texts().size(), 1);
        QVERIFY2(m.script.texts()[0].contains(": changed by ben at "), qPrintable(m.script.texts()[0]));
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.01"));
        QCOMPARE(field(Sensor, "Channel1", 1), QString("5.50"));
    }

    void flagSwitchedBackStillWrites()
    {
        watchUpdates(Sensor);
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            const QModelIndex spatial = d->model()->index(2, 9);
            d->MSFlexGrid1_Click(spatial);
            d->MSFlexGrid1_Click(spatial);
            d->MSFlexGrid1_Click(d->model()->index(2, 2));   // a cell without a mark: nothing
            QVERIFY(d->model()->changed());
            d->close();
        }));
        QCOMPARE(updates(), 1);
        QCOMPARE(field(Sensor, "PlotSpatial", 2), QString("1"));
        QCOMPARE(field(Sensor, "Channel2", 2), QString(""));
    }

    void returnsToTheReadingShownBefore()
    {
        ScriptedMessages m;
        frmTarnwell w;
        w.show();
        Shared& s = w.shared();
        Module1::OpenSensorData(s);
        s.rsReadings->setAbsolutePosition(2);
        w.readings()->fillreadings();   // the reading on screen, as the user sees it
        const qint64 shown = s.rsReadings->bookmark();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) { d->close(); }));
        QVERIFY(s.rsReadings && s.rsReadings->isOpen());
        QCOMPARE(s.rsReadings->bookmark(), shown);
        QCOMPARE(s.rsReadings->absolutePosition(), 2);
        QCOMPARE(w.findChild<QLineEdit*>("txtRcount")->text(), QString("2 of 3"));
    }

    void exportWritesAndOpens()
    {
        ScriptedMessages m;
        RecordedDesktop desk;
        frmTarnwell w;
        w.show();
        m.script.shown.clear();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            d->Image1->click();
            d->close();
        }));
        QCOMPARE(desk.recorder.requests.size(), 1);
        const QString path = desk.recorder.requests[0];
        QVERIFY(path.startsWith(QDir(Paths::dataFolder()).filePath("exports/Datasheet_" + Sensor + "_")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.size() > 1000);
        QCOMPARE(f.read(2), QByteArray("PK"));   // a zip container
        // The export ends saying where the workbook went.
        QCOMPARE(m.script.texts(), QStringList{"Saved to " + QDir::toNativeSeparators(path)});
        QCOMPARE(m.script.shown[0].choices, (QStringList{"Open folder", "Close"}));
    }

    // The sheet: one date-time column, units in the headings, and on request the loads
    // and displacements computed beside the gauges against the first reading not rejected
    // as a whole; a gauge without a value leaves its loads empty.
    void exportHeadingsAndComputedColumns()
    {
        ScriptedMessages m;
        RecordedDesktop desk;
        frmTarnwell w;
        w.show();
        const auto exportWith = [&](bool computed) {
            desk.recorder.requests.clear();
            runDatasheet(w, [computed](frmDatasheet* d) {
                QVERIFY(!d->chkExportComputed->isChecked());   // off unless asked for
                d->chkExportComputed->setChecked(computed);
                d->Image1->click();
                d->close();
            });
            return desk.recorder.requests.isEmpty() ? QJsonObject() : sheetsOf(desk.recorder.requests[0])[0].toObject();
        };
        const QStringList plain = {"Date and time", "Temperature (\u00B0C)", "Gauge 1 (\u00B5strain)",
                                   "Gauge 2 (\u00B5strain)", "Gauge 3 (\u00B5strain)", "Gauge 4 (\u00B5strain)",
                                   "PlotTemporal", "PlotSpatial", "Rejected"};
        QJsonObject sheet = exportWith(false);
        QCOMPARE(sheet["heading"].toArray(), QJsonArray::fromStringList(plain));
        QCOMPARE(sheet["firstRow"].toArray()[0].toObject()["format"].toString(), QString("yyyy/mm/dd hh:mm:ss"));
        QCOMPARE(sheet["firstRow"].toArray()[0].toObject()["value"].toString().toDouble(), 40607 + 14 / 24.0);

        // Type 55 stacked, k factor 100: two loads (t) and two displacements.
        sheet = exportWith(true);
        QStringList withLoads = plain;
        withLoads.insert(6, "Load 1 (t)");
        withLoads.insert(7, "Load 2 (t)");
        withLoads.insert(8, "Displacement 1 (microns)");
        withLoads.insert(9, "Displacement 2 (microns)");
        QCOMPARE(sheet["heading"].toArray(), QJsonArray::fromStringList(withLoads));
        const auto computed = [&](int row) {
            QStringList out;
            const QJsonArray cells = sheet["rows"].toArray()[row].toArray();
            for (int c = 6; c < 10; ++c) out << (c < cells.size() ? cells[c].toString() : QString());
            return out;
        };
        QCOMPARE(computed(0), (QStringList{"0", "0", "0", "0"}));
        QCOMPARE(computed(1), (QStringList{"0.04", "0.04", "8", "4"}));   // every gauge 4 above the first
        QCOMPARE(computed(2), (QStringList{"", "", "", ""}));             // gauges 2 to 4 have no value
        QCOMPARE(sheet["rows"].toArray()[1].toArray()[2].toString(), QString("5"));   // the raw gauge stays

        // The first reading rejected as a whole: the second is the baseline.
        Rejections::reject(*db, Sensor, TestData::readingKey(Sensor, Start), Rejections::WholeReading, "logger fault");
        sheet = exportWith(true);
        QCOMPARE(computed(0), (QStringList{"", "", "", ""}));
        QCOMPARE(computed(1), (QStringList{"0", "0", "0", "0"}));
    }

    // The export marks rejected values in a last "Rejected" column: what is rejected, why,
    // by whom and when; the other readings leave it empty, and the values stay exported.
    void exportMarksRejectedValues()
    {
        Rejections::reject(*db, Sensor, TestData::readingKey(Sensor, Start), Rejections::WholeReading, "logger fault");
        Rejections::reject(*db, Sensor, TestData::readingKey(Sensor, Start.addSecs(7200)), 2, "loose connector");
        Rejections::reject(*db, Sensor, TestData::readingKey(Sensor, Start.addSecs(7200)), Rejections::Temperature, "sun");
        ScriptedMessages m;
        RecordedDesktop desk;
        frmTarnwell w;
        w.show();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            d->Image1->click();
            d->close();
        }));
        QCOMPARE(desk.recorder.requests.size(), 1);
        const QJsonArray sheets = sheetsOf(desk.recorder.requests[0]);
        QVERIFY(!sheets.isEmpty());
        const QJsonObject sheet = sheets[0].toObject();
        QCOMPARE(sheet["heading"].toArray().last().toString(), QString("Rejected"));
        QCOMPARE(sheet["lastRow"].toInt(), 4);
        QStringList notes;
        for (const QJsonValue& t : sheet["texts"].toArray())
            if (t.toString().contains(": ")) notes << t.toString();
        const QString who = " (" + db->userName() + ", ";
        QCOMPARE(notes.size(), 2);
        QVERIFY2(notes[0].startsWith("whole reading: logger fault" + who), qPrintable(notes[0]));
        QVERIFY2(notes[1].startsWith("gauge 2: loose connector" + who), qPrintable(notes[1]));
        QVERIFY2(notes[1].contains("; temperature: sun" + who), qPrintable(notes[1]));
    }

    void exportWithoutSpreadsheetProgram()
    {
        ScriptedMessages m;
        RecordedDesktop desk;
        desk.recorder.answer = false;
        frmTarnwell w;
        w.show();
        m.script.shown.clear();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            d->Image1->click();
            d->close();
        }));
        QCOMPARE(m.script.texts().size(), 2);
        QCOMPARE(m.script.texts()[0], QString("You need to have Microsoft Excel installed to use this function"));
        QVERIFY(m.script.texts()[1].startsWith("Saved to "));   // the workbook was written all the same
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Exclamation);
        QCOMPARE(m.script.shown[0].title, QString("Orrisford's Tarnwell"));
    }

    void exportThatCannotBeWritten()
    {
        // The export folder lies under a plain file, so nothing can be written there.
        const QString blocker = QDir(home.path()).filePath("not-a-folder");
        QFile b(blocker);
        b.open(QIODevice::WriteOnly);
        b.close();
        ToolsController::setExportFolder(blocker + "/exports");
        ScriptedMessages m;
        RecordedDesktop desk;
        frmTarnwell w;
        w.show();
        m.script.shown.clear();
        QVERIFY(runDatasheet(w, [](frmDatasheet* d) {
            d->Image1->click();
            d->close();
        }));
        QVERIFY(desk.recorder.requests.isEmpty());
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.shown[0].text.startsWith("The spreadsheet could not be written:\r\n"));
    }
};

QTEST_MAIN(TestDatasheet)
#include "tst_datasheet.moc"
