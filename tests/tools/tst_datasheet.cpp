// The datasheet: its columns per sensor type, editing like a spreadsheet (typing replaces,
// F2 or a double click edits inside, Escape drops the cell's edit) and the key rules and
// their messages, flag switching, the Save / Discard / Cancel question on closing,
// write-back only when something changed (and only of the shown values), the return to the
// saved reading, and the spreadsheet export.
#include "support/TestEnv.h"
#include "ModalHelper.h"
#include "app/MainWindow.h"
#include "core/Paths.h"
#include "data/Rejections.h"
#include "data/SensorData.h"
#include "readings/ReadingsController.h"
#include "store/Database.h"
#include "tools/DatasheetModel.h"
#include "tools/GridWidgets.h"
#include "tools/ToolsController.h"
#include "store/RowVersions.h"
#include "tools/DatasheetWindow.h"
#include "SheetSummary.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QToolButton>
#include <QtTest>

namespace {
const QString Sensor = QStringLiteral("123455001");  // type 55: four gauges
const QDateTime Start(QDate(2011, 3, 5), QTime(14, 0));
}  // namespace

class TestDatasheet : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;

    // Counts updates of the sensor's rows from now on.
    void watchUpdates(const QString& id)
    {
        db->execute(QStringLiteral("CREATE TABLE IF NOT EXISTS updates (n INTEGER)"));
        if (db->isServer()) {
            db->executeOnServer(
                QStringLiteral("CREATE OR REPLACE FUNCTION watch() RETURNS trigger AS $$ BEGIN "
                               "INSERT INTO updates (n) VALUES (1); RETURN NULL; END $$ LANGUAGE plpgsql"));
            db->executeOnServer(QStringLiteral("CREATE OR REPLACE TRIGGER watch AFTER UPDATE ON \"%1\" FOR EACH ROW "
                                               "EXECUTE FUNCTION watch()")
                                    .arg(id));
            return;
        }
        db->execute(
            QStringLiteral(
                "CREATE TRIGGER IF NOT EXISTS watch AFTER UPDATE ON `%1` BEGIN INSERT INTO updates VALUES (1); END")
                .arg(id));
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
    bool runDatasheet(MainWindow& w, std::function<void(DatasheetWindow*)> act)
    {
        bool seen = false;
        whenOpen<DatasheetWindow>("frmDatasheet", std::move(act), &seen);
        w.tools()->onDatasheetClicked();
        QCoreApplication::processEvents();
        return seen;
    }

    // Keys on a cell as a user types them: after opening the cell (typing replaces its
    // text; F2 or a double click edits inside it) each key goes to the editor once one is
    // open, else to the grid; '\b' is Backspace, '\t' Tab, '\x1b' Escape; then Enter.
    enum class Open { Typing, F2, DoubleClick };
    static void typeInto(DatasheetWindow* d, int row, int column, const QString& keys, Open how = Open::Typing,
                         bool enter = true)
    {
        GridWidgets::GridView* grid = d->grid;
        const QModelIndex cell = d->model()->index(row, column);
        grid->setCurrentIndex(cell);
        if (how == Open::F2) QTest::keyClick(grid, Qt::Key_F2);
        if (how == Open::DoubleClick) {
            grid->scrollTo(cell);
            const QPoint at = grid->visualRect(cell).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);  // a double click's first press
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        }
        for (QChar ch : keys) {
            QWidget* to = grid->openEditor() ? static_cast<QWidget*>(grid->openEditor()) : grid;
            if (ch == u'\b') QTest::keyClick(to, Qt::Key_Backspace);
            else if (ch == u'\t') QTest::keyClick(to, Qt::Key_Tab);
            else if (ch == u'\x1b') QTest::keyClick(to, Qt::Key_Escape);
            else QTest::keyClicks(to, QString(ch));
        }
        if (enter && grid->openEditor()) QTest::keyClick(grid->openEditor(), Qt::Key_Return);
        QCoreApplication::processEvents();  // Enter enters the text once the editor has seen it
    }
    QString shown(DatasheetWindow* d, int row, int column) { return d->model()->index(row, column).data().toString(); }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::addSensor(*db, {Sensor});
        TestData::addReadings(*db, Sensor,
                              {{Start, {"1.00", "2.00", "3.00", "4.00"}, "20.0", true, false},
                               {Start.addSecs(3600), {"5.00", "6.00", "7.00", "8.00"}, "", false, true},
                               {Start.addSecs(7200), {"9.00", "", "", ""}, "21.0", true, true}});
        db->execute(QStringLiteral("UPDATE `%1` SET Load1 = 12.5, zero1 = 3").arg(Sensor));
    }
    void cleanup() { ToolsController::setExportFolder(QString()); }

    void columnsPerType_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("headers");
        QTest::newRow("type 25, one gauge")
            << "123425001" << QStringList{"DateTime Key", "ReadingDate",  "R. Time",    "ChannelT",
                                          "Channel1",     "PlotTemporal", "PlotSpatial"};
        QTest::newRow("type 65, five gauges")
            << "123465001"
            << QStringList{"DateTime Key", "ReadingDate", "R. Time",  "ChannelT",     "Channel1",   "Channel2",
                           "Channel3",     "Channel4",    "Channel5", "PlotTemporal", "PlotSpatial"};
        QTest::newRow("type 75, six gauges")
            << "123475001"
            << QStringList{"DateTime Key", "ReadingDate", "R. Time",  "ChannelT", "Channel1",     "Channel2",
                           "Channel3",     "Channel4",    "Channel5", "Channel6", "PlotTemporal", "PlotSpatial"};
    }
    void columnsPerType()
    {
        QFETCH(QString, id);
        QFETCH(QStringList, headers);
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, {{Start, {"1", "2", "3", "4", "5", "6"}, "20.0"}});
        db->execute(QStringLiteral("DELETE FROM Sensors WHERE InstrumentID <> ?"), {id});
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QStringList shown;
        QString label;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            for (int c = 0; c < d->model()->columnCount(); ++c)
                shown << d->model()->headerData(c, Qt::Horizontal).toString();
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

    // Keys on a cell with no editor open: refused ones are told and change nothing.
    void keysRefusedOnCells_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("messages");
        const QString a = DatasheetModel::MessageA, b = DatasheetModel::MessageB;
        QTest::newRow("letter in a gauge column") << 5 << "a" << QStringList{b};
        QTest::newRow("blank in the temperature column") << 3 << " " << QStringList{b};
        QTest::newRow("digit in the date column") << 1 << "7" << QStringList{a};
        QTest::newRow("letter in the key column") << 0 << "x" << QStringList{a};
        QTest::newRow("backspace in the time column") << 2 << "\b" << QStringList{};
    }
    void keysRefusedOnCells()
    {
        QFETCH(int, column);
        QFETCH(QString, keys);
        QFETCH(QStringList, messages);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        QString before, after;
        bool editing = true, changed = true;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            before = shown(d, 0, column);
            typeInto(d, 0, column, keys, Open::Typing, false);
            editing = d->grid->openEditor() != nullptr;
            after = shown(d, 0, column);
            changed = d->model()->changed();
            d->close();
        }));
        QCOMPARE(after, before);
        QVERIFY(!editing && !changed);
        QCOMPARE(m.script.texts(), messages);  // and no question on closing
        for (const auto& box : m.script.shown) {
            QCOMPARE(box.title, QString("Orrisford's Tarnwell"));
            QCOMPARE(box.icon, Messages::Icon::Information);
        }
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

    // Typing replaces a cell, F2 and a double click edit inside it, a minus sign and the
    // limits themselves can be typed, Backspace edits inside, Tab enters and moves on; each
    // cell then shows the text it is stored with (rounded as the Readings tab rounds), and
    // Save writes exactly those texts, by column name, to the touched readings only.
    void editingLikeASpreadsheet()
    {
        db->execute(QStringLiteral("UPDATE `%1` SET Channel1 = '272.67' WHERE Channel1 = '1.00'").arg(Sensor));
        watchUpdates(Sensor);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        QStringList cells;
        QModelIndex afterTab;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            typeInto(d, 0, 4, "300");                   // 272.67: replaced
            typeInto(d, 1, 4, "7", Open::F2);           // 5.00 -> 5.007
            typeInto(d, 2, 3, "5", Open::DoubleClick);  // 21.0 -> 21.05
            typeInto(d, 1, 5, "-12.5");
            typeInto(d, 1, 3, "-20");                       // the temperature's lower limit
            typeInto(d, 2, 4, "\b\b\b\b\b");                // 9.00 emptied: no value
            typeInto(d, 0, 5, "4\t", Open::Typing, false);  // 2.00 -> 4, Tab to Channel3
            afterTab = d->grid->currentIndex();
            d->onGridClicked(d->model()->index(0, 8));  // PlotTemporal of the first reading off
            cells = QStringList{shown(d, 0, 4), shown(d, 1, 4), shown(d, 2, 3), shown(d, 1, 5),
                                shown(d, 1, 3), shown(d, 2, 4), shown(d, 0, 5)};
            d->close();
        }));
        QCOMPARE(cells, QStringList({"300.00", "5.01", "21.1", "-12.50", "-20.0", "", "4.00"}));
        QCOMPARE(afterTab.column(), 6);
        QCOMPARE(m.script.texts(), QStringList{"Save the changes to 3 readings of sensor " + Sensor +
                                               "?\r\nDiscard leaves the stored values as they were; "
                                               "Cancel goes back to the datasheet."});
        QCOMPARE(m.script.shown[0].choices, QStringList({"Save", "Discard", "Cancel"}));
        QCOMPARE(updates(), 3);
        QCOMPARE((QStringList{field(Sensor, "Channel1", 0), field(Sensor, "Channel1", 1), field(Sensor, "ChannelT", 2),
                              field(Sensor, "Channel2", 1), field(Sensor, "ChannelT", 1),
                              field(Sensor, "coalesce(Channel1, 'null')", 2), field(Sensor, "Channel2", 0)}),
                 cells);
        QCOMPARE(field(Sensor, "Plottemporal", 0), QString("0"));
        QCOMPARE(field(Sensor, "PlotSpatial", 0), QString("0"));
        // Nothing else in the rows changed.
        QCOMPARE(field(Sensor, "Channel3", 1), QString("7.00"));
        QCOMPARE(field(Sensor, "Load1", 1), QString("12.5"));
        QCOMPARE(field(Sensor, "zero1", 1), QString("3"));
        QCOMPARE(field(Sensor, "DateTimeKey", 1), TestData::readingKey(Sensor, Start.addSecs(3600)));
        QCOMPARE(field(Sensor, "FullDate", 1), QString("2011-03-05 15:00:00"));
    }

    // A value entered must be one number within the type's limits (-10000..10000, the
    // temperature -20..60): otherwise it is refused with a message naming the column as its
    // header does, the cell keeps its value and nothing is stored. A stored value nobody
    // changed stands; a refused text still in the editor keeps the window open on closing.
    void refusedValuesStoreNothing()
    {
        db->execute(QStringLiteral("UPDATE `%1` SET Channel2 = '1.2.3' WHERE Channel1 = '1.00'").arg(Sensor));
        watchUpdates(Sensor);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        QStringList after;
        bool openAfterRefusedClose = false;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            typeInto(d, 0, 5, "", Open::F2);  // "1.2.3" entered as it is: stands, untold
            typeInto(d, 1, 4, "99999");
            typeInto(d, 0, 3, "61");
            typeInto(d, 2, 4, "1..5");
            after = {shown(d, 0, 5), shown(d, 1, 4), shown(d, 0, 3), shown(d, 2, 4)};
            typeInto(d, 2, 5, "-10001", Open::Typing, false);
            d->close();
            openAfterRefusedClose = d->isVisible();
            d->close();
        }));
        const QString second = TestData::readingKey(Sensor, Start.addSecs(3600));
        QCOMPARE(m.script.texts(),
                 QStringList({"Channel1 of reading " + second +
                                  ": 99999 is outside the limits of this sensor type (-10000 to 10000).\r\n"
                                  "The cell keeps its value (5.00).",
                              "ChannelT of reading " + TestData::readingKey(Sensor, Start) +
                                  ": 61 is outside the limits of this sensor type (-20 to 60).\r\n"
                                  "The cell keeps its value (20.0).",
                              "Channel1 of reading " + TestData::readingKey(Sensor, Start.addSecs(7200)) +
                                  ": \"1..5\" is not one number.\r\nThe cell keeps its value (9.00).",
                              "Channel2 of reading " + TestData::readingKey(Sensor, Start.addSecs(7200)) +
                                  ": -10001 is outside the limits of this sensor type (-10000 to 10000).\r\n"
                                  "The cell keeps its value (no value)."}));
        QCOMPARE(after, QStringList({"1.2.3", "5.00", "20.0", "9.00"}));
        QVERIFY(openAfterRefusedClose);
        QCOMPARE(updates(), 0);
    }

    // Escape drops the cell's edit and only that: a stray key then Escape changes nothing,
    // and a second Escape closes without a question. Closing with changes asks: Cancel (or
    // Escape on the question) keeps the window and the edits, Discard closes storing
    // nothing, Save stores.
    void escapeAndTheClosingQuestion()
    {
        watchUpdates(Sensor);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        QString afterEscape;
        bool openAfterEscape = false;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            typeInto(d, 0, 4, "7\x1b", Open::Typing, false);  // the baseline reading
            afterEscape = shown(d, 0, 4);
            openAfterEscape = d->isVisible() && !d->model()->changed();
            QTest::keyClick(d->grid, Qt::Key_Escape);
        }));
        QCOMPARE(afterEscape, QString("1.00"));
        QVERIFY(openAfterEscape);
        QVERIFY(m.script.shown.empty());

        m.script.choices = {2, -1, 1};  // Cancel, Escape, Discard
        QStringList kept;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            typeInto(d, 0, 4, "8");
            QTest::keyClick(d->grid, Qt::Key_Escape);
            kept << (d->isVisible() ? shown(d, 0, 4) : QString("closed"));
            d->cmdClose->click();
            kept << (d->isVisible() ? shown(d, 0, 4) : QString("closed"));
            d->cmdClose->click();
            kept << (d->isVisible() ? shown(d, 0, 4) : QString("closed"));
        }));
        QCOMPARE(kept, QStringList({"8.00", "8.00", "closed"}));
        QCOMPARE(m.script.shown.size(), size_t(3));
        QCOMPARE(updates(), 0);
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.00"));

        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {  // Save, the default
            typeInto(d, 0, 4, "8");
            d->close();
        }));
        QCOMPARE(field(Sensor, "Channel1", 0), QString("8.00"));
    }

    // On the real question box, Escape is Cancel: the window stays with its edits.
    void escapeOnTheRealQuestionIsCancel()
    {
        ScriptedMessages m;
        MainWindow w;  // installs the real boxes behind the script
        w.show();
        bool boxClosedByEscape = false, keptOpen = false;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            typeInto(d, 0, 4, "8");
            Messages::installScript(nullptr);
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                QTest::keyClick(box, Qt::Key_Escape);
                boxClosedByEscape = !box->isVisible();
                if (!boxClosedByEscape) box->done(0);
            });
            d->close();
            Messages::installScript(&m.script);
            keptOpen = d->isVisible() && shown(d, 0, 4) == "8.00";
            d->cmdDiscard->click();
        }));
        QVERIFY(boxClosedByEscape);
        QVERIFY(keptOpen);
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.00"));
    }

    // A value or a whole reading is rejected from the chosen cell and restored; its cells
    // show greyed with the mark, and the values stay stored.
    void rejectingAndRestoringFromTheGrid()
    {
        ScriptedMessages m;
        m.script.promptAnswers = {"spike", "bad logger"};
        MainWindow w;
        w.show();
        const QString second = TestData::readingKey(Sensor, Start.addSecs(3600));
        auto reason = [&](const QString& key, int gauge) {
            return db
                ->scalar("SELECT Reason FROM Rejections WHERE SensorID = ? AND DateTimeKey = ? AND Gauge = ?",
                         {Sensor, key, gauge})
                .toString();
        };
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            DatasheetModel* model = d->model();
            d->grid->setCurrentIndex(model->index(1, 5));  // Channel2 of the second reading
            d->cmdReject->click();
            QCOMPARE(reason(second, 2), QString("spike"));
            QVERIFY(model->index(1, 5).data(Qt::ToolTipRole).toString().endsWith(": spike"));
            QCOMPARE(model->index(1, 5).data(Qt::ForegroundRole).value<QColor>(), QColor(0x909090));
            QCOMPARE(model->index(1, 5).data().toString(), QString("6.00"));
            QVERIFY(model->index(1, 4).data(Qt::ToolTipRole).isNull());
            d->grid->setCurrentIndex(model->index(0, 1));  // a date cell: the whole reading
            d->cmdReject->click();
            for (int c = 0; c < 8; ++c)
                QVERIFY(model->index(0, c).data(Qt::ToolTipRole).toString().endsWith(": bad logger"));
            d->grid->setCurrentIndex(model->index(1, 5));
            d->cmdReject->click();  // rejected: asks to restore (Yes)
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
        QVERIFY(model.setData(model.index(0, 4), "1.5"));
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
        QVERIFY(model.setData(model.index(1, 4), "5.009"));
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
        QCOMPARE(rows[1][4], QString("5.01"));
        QCOMPARE(rows[0][9], QString("True"));
        QCOMPARE(rows[2][8], QString("True"));
        QCOMPARE(rows[1][8], QString("False"));
        int seen = 0;
        model.exportRows([&](const QByteArrayView*) { return ++seen < 2; });
        QCOMPARE(seen, 2);  // stopped when asked
    }

    // "Discard changes" asks first (No by default): Yes closes and writes nothing, No keeps
    // the window open with the edits, and "Close" then writes them.
    void discardChanges()
    {
        watchUpdates(Sensor);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        bool enabledBefore = true, enabledAfter = false, openAfterNo = false;
        QString units, tip;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            units = d->model()->headerData(4, Qt::Horizontal, DatasheetModel::UnitRole).toString() + '|' +
                    d->model()->headerData(3, Qt::Horizontal, DatasheetModel::UnitRole).toString();
            tip = d->model()->headerData(4, Qt::Horizontal, Qt::ToolTipRole).toString();
            enabledBefore = d->cmdDiscard->isEnabled();
            typeInto(d, 0, 4, "9");
            d->onGridClicked(d->model()->index(1, 8));  // a plot mark switched
            enabledAfter = d->cmdDiscard->isEnabled();
            m.script.answers = {Messages::Answer::No};
            d->cmdDiscard->click();
            openAfterNo = d->isVisible();
            d->cmdDiscard->click();  // Yes (the script's default)
        }));
        QCOMPARE(units, QString("\u00B5strain|\u00B0C"));
        QVERIFY(tip.contains("\u00B5strain"));
        QVERIFY(!enabledBefore);
        QVERIFY(enabledAfter);
        QVERIFY(openAfterNo);
        QCOMPARE(m.script.texts().size(), 2);
        QCOMPARE(m.script.texts()[0],
                 "Discard the changes to 2 readings of sensor " + Sensor + "?\r\nThe stored values stay as they were.");
        QCOMPARE(m.script.shown[0].defaultButton, std::optional<Messages::Answer>(Messages::Answer::No));
        QCOMPARE(updates(), 0);
        QCOMPARE(field(Sensor, "Channel1", 0), QString("1.00"));
        QCOMPARE(field(Sensor, "Plottemporal", 1), QString("0"));

        // "Close" asks, and Save keeps what was typed.
        QVERIFY(runDatasheet(w, [](DatasheetWindow* d) {
            typeInto(d, 0, 4, "9");
            d->cmdClose->click();
        }));
        QCOMPARE(field(Sensor, "Channel1", 0), QString("9.00"));
        QCOMPARE(field(Sensor, "Plottemporal", 1), QString("0"));
    }

    // Another user corrected one of the readings meanwhile: closing stores nothing, says who,
    // and the window stays open with that reading's stored values and the other correction;
    // closing again stores the other correction.
    void correctionsOverAnotherUsersChangeAreRefused()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        bool stillOpen = false;
        QString shownAfter;
        QVERIFY(runDatasheet(w, [&](DatasheetWindow* d) {
            typeInto(d, 0, 4, "9");
            typeInto(d, 1, 4, "9", Open::Typing, false);  // still in the editor on closing
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
        QCOMPARE(m.script.texts().size(), 3);  // Save?, who changed it, Save?
        QVERIFY2(m.script.texts()[1].contains(": changed by ben at "), qPrintable(m.script.texts()[1]));
        QCOMPARE(field(Sensor, "Channel1", 0), QString("9.00"));
        QCOMPARE(field(Sensor, "Channel1", 1), QString("5.50"));
    }

    void flagSwitchedBackStillWrites()
    {
        watchUpdates(Sensor);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QVERIFY(runDatasheet(w, [](DatasheetWindow* d) {
            const QModelIndex spatial = d->model()->index(2, 9);
            d->onGridClicked(spatial);
            d->onGridClicked(spatial);
            d->onGridClicked(d->model()->index(2, 2));  // a cell without a mark: nothing
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
        MainWindow w;
        w.show();
        Shared& s = w.shared();
        SessionData::OpenSensorData(s);
        s.rsReadings->setAbsolutePosition(2);
        w.readings()->fillreadings();  // the reading on screen, as the user sees it
        const qint64 shown = s.rsReadings->bookmark();
        QVERIFY(runDatasheet(w, [](DatasheetWindow* d) { d->close(); }));
        QVERIFY(s.rsReadings && s.rsReadings->isOpen());
        QCOMPARE(s.rsReadings->bookmark(), shown);
        QCOMPARE(s.rsReadings->absolutePosition(), 2);
        QCOMPARE(w.findChild<QLineEdit*>("txtRcount")->text(), QString("2 of 3"));
    }

    void exportWritesAndOpens()
    {
        ScriptedMessages m;
        RecordedDesktop desk;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        QVERIFY(runDatasheet(w, [](DatasheetWindow* d) {
            d->cmdExport->click();
            d->close();
        }));
        QCOMPARE(desk.recorder.requests.size(), 1);
        const QString path = desk.recorder.requests[0];
        QVERIFY(path.startsWith(QDir(Paths::dataFolder()).filePath("exports/Datasheet_" + Sensor + "_")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.size() > 1000);
        QCOMPARE(f.read(2), QByteArray("PK"));  // a zip container
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
        MainWindow w;
        w.show();
        const auto exportWith = [&](bool computed) {
            desk.recorder.requests.clear();
            runDatasheet(w, [computed](DatasheetWindow* d) {
                QVERIFY(!d->chkExportComputed->isChecked());  // off unless asked for
                d->chkExportComputed->setChecked(computed);
                d->cmdExport->click();
                d->close();
            });
            return desk.recorder.requests.isEmpty() ? QJsonObject() : sheetsOf(desk.recorder.requests[0])[0].toObject();
        };
        const QStringList plain = {"Date and time",
                                   "Temperature (\u00B0C)",
                                   "Gauge 1 (\u00B5strain)",
                                   "Gauge 2 (\u00B5strain)",
                                   "Gauge 3 (\u00B5strain)",
                                   "Gauge 4 (\u00B5strain)",
                                   "PlotTemporal",
                                   "PlotSpatial",
                                   "Rejected"};
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
        QCOMPARE(computed(1), (QStringList{"0.04", "0.04", "8", "4"}));              // every gauge 4 above the first
        QCOMPARE(computed(2), (QStringList{"", "", "", ""}));                        // gauges 2 to 4 have no value
        QCOMPARE(sheet["rows"].toArray()[1].toArray()[2].toString(), QString("5"));  // the raw gauge stays

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
        Rejections::reject(*db, Sensor, TestData::readingKey(Sensor, Start.addSecs(7200)), Rejections::Temperature,
                           "sun");
        ScriptedMessages m;
        RecordedDesktop desk;
        MainWindow w;
        w.show();
        QVERIFY(runDatasheet(w, [](DatasheetWindow* d) {
            d->cmdExport->click();
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
        MainWindow w;
        w.show();
        m.script.shown.clear();
        QVERIFY(runDatasheet(w, [](DatasheetWindow* d) {
            d->cmdExport->click();
            d->close();
        }));
        QCOMPARE(m.script.texts().size(), 2);
        QCOMPARE(m.script.texts()[0], QString("You need to have Microsoft Excel installed to use this function"));
        QVERIFY(m.script.texts()[1].startsWith("Saved to "));  // the workbook was written all the same
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
        MainWindow w;
        w.show();
        m.script.shown.clear();
        QVERIFY(runDatasheet(w, [](DatasheetWindow* d) {
            d->cmdExport->click();
            d->close();
        }));
        QVERIFY(desk.recorder.requests.isEmpty());
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.shown[0].text.startsWith("The spreadsheet could not be written:\r\n"));
    }
};

QTEST_MAIN(TestDatasheet)
#include "tst_datasheet.moc"
