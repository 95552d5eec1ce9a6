// The "3. Readings" page driven through its controls in the real window: what is shown,
// what reaches the data table after each action, and what is refused.
#include "ReadingsPageFixture.h"
#include "data/Rejections.h"

#include <QApplication>
#include <QCheckBox>
#include <QtTest>
#include <functional>

class TestReadings : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init() { TestData::installFresh(); }

    void emptyTableShowsTheEmptyState()
    {
        addSensorWith({});
        Page p;
        QCOMPARE(p.count(), QString("0 of 0"));
        QVERIFY(p.shownKey().isEmpty());
        QCOMPARE(p.date()->date(), QDate::currentDate());
        QCOMPARE(p.time()->time(), QTime(12, 0, 0));
        QVERIFY(p.temp()->text().isEmpty());
        QVERIFY(p.error()->isVisibleTo(p.r->page()));
        QCOMPARE(p.error()->text(), QString("0 Readings - Click the Add button to add a reading"));
        for (const char* nav : {"imgFirst", "imgPrevData", "imgNextData", "imgLast"}) p.click(nav);
        QVERIFY(p.msgs.script.shown.empty());
        QCOMPARE(p.count(), QString("0 of 0"));
    }

    void enteringShowsTheLatestReading()
    {
        auto list = threeReadings();
        list[2].channels[3] = QString();  // Channel4 empty
        addSensorWith(list);
        {
            auto db = TestData::openDatabase();
            db->execute(
                QString("UPDATE `%1` SET Plottemporal = NULL, Channel4 = NULL WHERE DateTimeKey = ?").arg(Sensor),
                {key(R3)});
        }
        Page p;
        QCOMPARE(p.count(), QString("3 of 3"));
        QCOMPARE(p.shownKey(), key(R3));
        QCOMPARE(p.date()->date(), R3.date());
        QCOMPARE(p.time()->time(), R3.time());
        QCOMPARE(p.date()->displayFormat(), QString("yyyy/MM/dd"));
        QCOMPARE(p.time()->displayFormat(), QString("HH:mm:ss"));
        QCOMPARE(p.temp()->text(), QString("21.5"));
        QCOMPARE(p.box(1)->text(), QString("12.00"));
        QVERIFY(p.box(4)->text().isEmpty());
        QVERIFY(p.get<QCheckBox>("chkTemporal")->isChecked());  // null ticks it
        QVERIFY(p.get<QCheckBox>("chkSpatial")->isChecked());
        QVERIFY(!p.error()->isVisibleTo(p.r->page()));
        p.click("imgFirst");
        QVERIFY(!p.get<QCheckBox>("chkSpatial")->isChecked());
        QCOMPARE(p.count(), QString("1 of 3"));
    }

    void navigationSavesThenMovesOrSaysTheEnd()
    {
        addSensorWith(threeReadings());
        Page p;
        // On the last reading: Next and Last stay and say so, but save first.
        p.box(2)->setText("99");
        p.click("imgNextData");
        p.click("imgLast");
        QCOMPARE(p.msgs.script.texts(), QStringList({"End of readings", "End of readings"}));
        QCOMPARE(p.msgs.script.shown[0].title, QString("Tarnwell"));
        QCOMPARE(p.msgs.script.shown[0].icon, Messages::Icon::None);
        QCOMPARE(p.count(), QString("3 of 3"));
        QCOMPARE(p.stored(R3, "Channel2").toString(), QString("99.00"));

        p.msgs.script.shown.clear();
        p.click("imgPrevData");
        QCOMPARE(p.shownKey(), key(R2));
        QCOMPARE(p.count(), QString("2 of 3"));
        // The caption label acts as its image.
        QTest::mouseClick(p.get<QLabel>("Label61"), Qt::LeftButton);
        QCOMPARE(p.count(), QString("1 of 3"));
        p.click("imgFirst");
        p.click("imgPrevData");
        QCOMPARE(p.msgs.script.texts(), QStringList({"Start of readings", "Start of readings"}));
        QCOMPARE(p.shownKey(), key(R1));
        p.click("imgLast");
        QCOMPARE(p.count(), QString("3 of 3"));
        QCOMPARE(p.shownKey(), key(R3));
    }

    void savedTexts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariant>("channel");
        QTest::addColumn<QVariant>("temperature");
        QTest::newRow("12.3") << "12.3" << QVariant("12.30") << QVariant("12.3");
        QTest::newRow("7") << "7" << QVariant("7.00") << QVariant("7.0");
        QTest::newRow("21") << "21" << QVariant("21.00") << QVariant("21.0");
        QTest::newRow("empty") << "" << QVariant("") << QVariant("");
    }
    void savedTexts()
    {
        QFETCH(QString, typed);
        QFETCH(QVariant, channel);
        QFETCH(QVariant, temperature);
        addSensorWith(threeReadings());
        Page p;
        p.click("imgFirst");
        p.box(3)->setText(typed);
        p.temp()->setText(typed);
        p.get<QCheckBox>("chkTemporal")->setChecked(false);
        p.get<QCheckBox>("chkSpatial")->setChecked(true);
        p.click("imgNextData");
        QCOMPARE(p.stored(R1, "Channel3").toString(), channel.toString());
        QCOMPARE(p.stored(R1, "ChannelT").toString(), temperature.toString());
        QCOMPARE(p.stored(R1, "Channel1").toString(), QString("10.00"));
        QCOMPARE(p.stored(R1, "Plottemporal").toInt(), 0);
        QCOMPARE(p.stored(R1, "PlotSpatial").toInt(), 1);
        QCOMPARE(p.stored(R1, "FullDate").toString(), QString("2024-05-01 10:00:00"));
        QCOMPARE(p.stored(R1, "ReadingDate").toString(), QString("2024/05/01"));
        QCOMPARE(p.stored(R1, "ReadingTime").toString(), QString("10:00:00"));
    }

    void validationRefusesAndKeepsTheReading_data()
    {
        QTest::addColumn<int>("channel");  // 0: temperature
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");  // empty: passes
        QTest::addColumn<QString>("named");    // how the question names the box
        QTest::newRow("temperature at high limit") << 0 << "60"
                                                   << ""
                                                   << "";
        QTest::newRow("temperature above") << 0 << "60.1"
                                           << "Error: Temperature must be > -20 and < 60"
                                           << "Temperature";
        QTest::newRow("temperature below") << 0 << "-21"
                                           << "Error: Temperature must be > -20 and < 60"
                                           << "Temperature";
        QTest::newRow("temperature not one number") << 0 << "20.719.5"
                                                    << "Error: Temperature is not a number: 20.719.5"
                                                    << "Temperature";
        QTest::newRow("channel 3 above") << 3 << "10000.5"
                                         << "Error: Gauge 3 must be > -10000 and < 10000"
                                         << "Gauge 3";
        QTest::newRow("channel 2 far above") << 2 << "99999"
                                             << "Error: Gauge 2 must be > -10000 and < 10000"
                                             << "Gauge 2";
        QTest::newRow("channel 6 at low limit") << 6 << "-10000"
                                                << ""
                                                << "";
        QTest::newRow("channel 1 below") << 1 << "-10001"
                                         << "Error: Gauge 1 must be > -10000 and < 10000"
                                         << "Gauge 1";
    }
    // A refused value keeps the user on the reading (the first answer) with what was typed,
    // stores nothing and names the box; fixing the value clears the message.
    void validationRefusesAndKeepsTheReading()
    {
        QFETCH(int, channel);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(QString, named);
        addSensorWith(threeReadings());
        Page p;
        p.click("imgPrevData");
        QLineEdit* box = channel == 0 ? p.temp() : p.box(channel);
        const QString column = channel == 0 ? "ChannelT" : QString("Channel%1").arg(channel);
        const QString before = p.stored(R2, column).toString();
        box->setText(value);
        p.click("imgNextData");
        if (message.isEmpty()) {
            QCOMPARE(p.count(), QString("3 of 3"));
            QVERIFY(p.stored(R2, column).toString() != before);
            QVERIFY(p.msgs.script.shown.empty());
            return;
        }
        QCOMPARE(p.error()->text(), message);
        QVERIFY(p.error()->isVisibleTo(p.r->page()));
        QCOMPARE(p.count(), QString("2 of 3"));
        QCOMPARE(p.shownKey(), key(R2));
        QCOMPARE(box->text(), value);
        QCOMPARE(p.stored(R2, column).toString(), before);
        QCOMPARE(p.msgs.script.shown.size(), size_t(1));
        QCOMPARE(p.msgs.script.shown[0].choices, QStringList({"Keep it on screen", "Discard it"}));
        QVERIFY2(p.msgs.script.shown[0].text.startsWith(named + " holds "), qPrintable(p.msgs.script.shown[0].text));
        // Corrected in the box, the refusal goes and the next move stores the value.
        box->selectAll();
        QTest::keyClicks(box, "7");
        QVERIFY(!p.error()->isVisibleTo(p.r->page()));
        p.click("imgNextData");
        QCOMPARE(p.count(), QString("3 of 3"));
        QCOMPARE(p.stored(R2, column).toString(), channel == 0 ? QString("7.0") : QString("7.00"));
    }

    // Every road out of a reading with a refused value asks; "Keep it on screen" stays with
    // the typed values and stores nothing, "Discard it" goes on with nothing stored and
    // says so on the status line.
    void everyRoadOutAsksBeforeDroppingARefusedValue_data()
    {
        QTest::addColumn<QString>("road");
        for (const char* road : {"move", "tab", "refresh", "add", "close", "tools"}) QTest::newRow(road) << road;
    }
    void everyRoadOutAsksBeforeDroppingARefusedValue()
    {
        QFETCH(QString, road);
        addSensorWith(threeReadings());
        Page p;
        p.enterTabAsAUserDoes();
        p.click("imgPrevData");
        p.r->clock = [] { return QDateTime(QDate(2024, 6, 1), QTime(9, 0, 0)); };
        auto leave = [&] {  // true when the road was taken
            if (road == "move") p.click("imgFirst");
            else if (road == "tab") p.w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
            else if (road == "refresh") p.w.refreshData();
            else if (road == "add") p.click("imgAddReading");
            else if (road == "close") return p.w.readyToClose();
            else if (road == "tools") return p.w.saveReading();  // the datasheet or the import opening
            return p.shownKey() != key(R2) || p.w.tabWidget->currentIndex() != MainWindow::TabReadings;
        };
        const auto afterR2 = [&] { return p.stored(R2, "Channel2").toString(); };
        p.box(2)->setText("20.719.5");
        p.temp()->setText("22");
        p.msgs.script.choices = {0};  // Keep it on screen
        QVERIFY(!leave());
        QCOMPARE(p.w.tabWidget->currentIndex(), int(MainWindow::TabReadings));
        QCOMPARE(p.shownKey(), key(R2));
        QCOMPARE(p.box(2)->text(), QString("20.719.5"));
        QCOMPARE(p.temp()->text(), QString("22"));
        QCOMPARE(p.error()->text(), QString("Error: Gauge 2 is not a number: 20.719.5"));
        QCOMPARE(afterR2(), QString("21.00"));
        QCOMPARE(p.stored(R2, "ChannelT").toString(), QString("21.0"));
        QCOMPARE(p.keys().size(), 3);
        QCOMPARE(p.msgs.script.shown.size(), size_t(1));
        QVERIFY(p.msgs.script.shown[0].text.startsWith("Gauge 2 holds \"20.719.5\""));

        p.msgs.script.choices = {1};  // Discard it
        leave();
        QCOMPARE(p.msgs.script.shown.size(), size_t(2));
        QCOMPARE(afterR2(), QString("21.00"));
        QCOMPARE(p.stored(R2, "ChannelT").toString(), QString("21.0"));
        QCOMPARE(p.get<QLabel>("lblReadingStatus")->text(),
                 QString("What was typed for the reading of 2024/05/02 14:30:00 was discarded: nothing was stored."));
        if (road == "move") QCOMPARE(p.shownKey(), key(R1));
        if (road == "tab") QCOMPARE(p.w.tabWidget->currentIndex(), int(MainWindow::TabIdentification));
        if (road == "add") QCOMPARE(p.keys().size(), 4);
        if (road == "refresh") QCOMPARE(p.box(2)->text(), QString("21.00"));
    }

    // A reading added and left without any value is removed on every road out, and the
    // status line says so; one given a value is kept.
    void emptyNewReadingIsRemovedWhenLeft_data()
    {
        QTest::addColumn<QString>("road");
        for (const char* road : {"previous", "next", "tab", "close", "add", "refresh"}) QTest::newRow(road) << road;
    }
    void emptyNewReadingIsRemovedWhenLeft()
    {
        QFETCH(QString, road);
        addSensorWith(threeReadings());
        Page p;
        p.enterTabAsAUserDoes();
        p.click("imgPrevData");
        const QDateTime added(QDate(2024, 5, 4), QTime(18, 0, 0));
        p.r->clock = [added] { return added; };
        p.click("imgAddReading");
        QCOMPARE(p.shownKey(), key(added));
        QCOMPARE(p.count(), QString("4 of 4"));
        p.r->clock = [] { return QDateTime(QDate(2024, 7, 1), QTime(8, 0, 0)); };
        if (road == "previous") p.click("imgPrevData");
        else if (road == "next") p.click("imgNextData");
        else if (road == "tab") p.w.tabWidget->setCurrentIndex(MainWindow::TabInstallation);
        else if (road == "close") QVERIFY(p.w.readyToClose());
        else if (road == "add") p.click("imgAddReading");
        else if (road == "refresh") p.w.refreshData();
        QVERIFY(!p.keys().contains(key(added)));
        QVERIFY(p.msgs.script.shown.empty());
        QCOMPARE(p.get<QLabel>("lblReadingStatus")->text(),
                 QString("The new reading of 2024/05/04 18:00:00 had no values and was removed."));
        if (road == "previous" || road == "next") {
            QCOMPARE(p.shownKey(), key(R3));
            QCOMPARE(p.count(), QString("3 of 3"));
        }
        if (road == "add") QCOMPARE(p.keys().size(), 4);
        if (road == "tab") {
            // Back on the tab: the reading shown is the one before it.
            p.w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
            QCOMPARE(p.shownKey(), key(R3));
        }
    }

    void newReadingGivenAValueIsKept()
    {
        addSensorWith(threeReadings());
        Page p;
        const QDateTime added(QDate(2024, 6, 1), QTime(9, 0, 0));
        p.r->clock = [added] { return added; };
        p.click("imgAddReading");
        p.box(4)->setText("3");
        p.click("imgFirst");
        p.click("imgLast");  // no longer the new reading: an emptied box does not remove it
        p.box(4)->clear();
        p.click("imgFirst");
        QCOMPARE(p.keys().size(), 4);
        QCOMPARE(p.stored(added, "Channel4").toString(), QString());
        QCOMPARE(p.stored(added, "coalesce(Channel4, 'null')").toString(), QString());
        QVERIFY(!p.get<QLabel>("lblReadingStatus")->isVisibleTo(p.r->page()));
    }

    // A gauge or the whole reading is rejected with a reason and restored: the value stays
    // stored and on screen, greyed, with who, when and why; without a reason nothing is.
    void rejectingAndRestoringValues()
    {
        addSensorWith(threeReadings());
        Page p;
        auto rejected = [&](int gauge) {
            return p.w.shared()
                .db
                .scalar("SELECT Reason FROM Rejections WHERE SensorID = ? AND DateTimeKey = ? AND Gauge = ?",
                        {Sensor, key(R2), gauge})
                .toString();
        };
        auto marks = [&] { return p.w.shared().db.scalar("SELECT count(*) FROM Rejections").toInt(); };
        QLabel* line = p.get<QLabel>("lblRejected");
        p.click("imgPrevData");
        p.box(1)->setText("15");      // what is typed is stored before the mark
        p.msgs.script.choices = {2};  // the whole reading, gauges 1..6, the temperature, Cancel
        p.msgs.script.promptAnswers = {"loose wire"};
        p.click("imgRejectValue");
        QCOMPARE(p.msgs.script.shown[0].choices.size(), 9);
        QCOMPARE(p.stored(R2, "Channel1").toString(), QString("15.00"));
        QCOMPARE(rejected(2), QString("loose wire"));
        QCOMPARE(p.stored(R2, "Channel2").toString(), QString("21.00"));
        QCOMPARE(p.box(2)->text(), QString("21.00"));
        QVERIFY2(p.box(2)->toolTip().startsWith("Gauge 2 rejected by ") && p.box(2)->toolTip().endsWith(": loose wire"),
                 qPrintable(p.box(2)->toolTip()));
        QCOMPARE(p.box(2)->palette().color(QPalette::Text), QColor(0x909090));
        QVERIFY(p.box(1)->toolTip().isEmpty());
        QVERIFY(line->isVisibleTo(p.r->page()));
        QCOMPARE(line->text(), p.box(2)->toolTip());

        // Another reading shows no mark; back on this one it does.
        p.click("imgFirst");
        QVERIFY(!line->isVisibleTo(p.r->page()));
        QVERIFY(p.box(2)->toolTip().isEmpty());
        QVERIFY(p.box(2)->palette().color(QPalette::Text) != QColor(0x909090));
        p.click("imgNextData");
        QVERIFY(p.box(2)->toolTip().endsWith("loose wire"));

        // No reason, no mark.
        p.msgs.script.shown.clear();
        p.msgs.script.choices = {0};
        p.msgs.script.promptAnswers = {"  "};
        p.click("imgRejectValue");
        QCOMPARE(p.msgs.script.shown.back().text, QString("A rejected value needs a reason: nothing was rejected."));
        QCOMPARE(marks(), 1);

        // The whole reading greys every box; restoring the gauge leaves the whole mark.
        p.msgs.script.choices = {0, 2};
        p.msgs.script.promptAnswers = {"logger fault"};
        p.click("imgRejectValue");
        QVERIFY(p.temp()->toolTip().endsWith(": logger fault"));
        QVERIFY(p.box(6)->toolTip().endsWith(": logger fault"));
        p.msgs.script.shown.clear();
        p.click("imgRejectValue");
        QCOMPARE(p.msgs.script.shown[0].choices.at(0), QString("Restore: The whole reading"));
        QCOMPARE(p.msgs.script.shown[0].choices.at(2), QString("Restore: Gauge 2"));
        QVERIFY(rejected(2).isEmpty());
        QCOMPARE(rejected(0), QString("logger fault"));
        QVERIFY(p.box(2)->toolTip().endsWith(": logger fault"));
        QCOMPARE(p.get<QLabel>("lblReadingStatus")->text(),
                 QString("Gauge 2 of the reading of 2024/05/02 14:30:00 was restored."));
        // Cancel changes nothing.
        p.click("imgRejectValue");
        QCOMPARE(marks(), 1);
    }

    void keyFiltersDiscardOtherCharacters()
    {
        addSensorWith(threeReadings());
        Page p;
        for (QLineEdit* box : {p.box(1), p.box(6), p.temp()}) {
            box->clear();
            box->setFocus();
            QTest::keyClicks(box, "1a+2, -.e3x");
            QCOMPARE(box->text(), QString("12,-.3"));
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), QString("12,-."));
        }
    }

    void configureFormFollowsTheType()
    {
        {
            auto db = TestData::openDatabase();
            db->execute(
                "UPDATE Configuration SET TempChannel = 0, Temp = 'n/a', lblNotes = 'Two gauges' "
                "WHERE SensorType = '35'");
        }
        addSensorWith({}, "250435001");
        Page p("35");
        for (int i = 1; i <= 6; ++i) {
            const bool used = i <= 2;
            QCOMPARE(p.box(i)->isEnabled(), used);
            QCOMPARE(p.box(i)->palette().color(QPalette::Base), used ? QColor(0xFFFFFF) : QColor(0xE0E0E0));
            QCOMPARE(p.get<QLabel>(QString("lbln(%1)").arg(i))->text(), used ? QString("%1#").arg(i) : QString());
            QCOMPARE(p.get<QLabel>(QString("lblmm(%1)").arg(i))->isEnabled(), used);
            QCOMPARE(p.get<QLabel>(QString("lblmm(%1)").arg(i))->text(), QString::fromUtf8("\u00b5 strain"));
        }
        QVERIFY(!p.temp()->isEnabled());
        QCOMPARE(p.temp()->palette().color(QPalette::Base), QColor(0xE0E0E0));
        QCOMPARE(p.get<QLabel>("lblTemp")->text(), QString("n/a"));
        QVERIFY(!p.get<QLabel>("Label47")->isEnabled());
        QCOMPARE(p.get<QLabel>("lblNotes")->text(), QString("Two gauges"));
    }

    void futureDateWarning()
    {
        const QDateTime today(QDate::currentDate(), QTime(0, 0, 1));
        addSensorWith({reading(today), reading(today.addDays(1))});
        Page p;
        QCOMPARE(p.shownKey(), key(today.addDays(1)));
        QVERIFY(p.error()->isVisibleTo(p.r->page()));
        QCOMPARE(p.error()->text(), QString("Warning: Reading Date is in the future"));
        p.click("imgPrevData");
        QVERIFY(!p.error()->isVisibleTo(p.r->page()));
        // The user dates today's reading ahead: warned, and the reading moves.
        p.date()->setDate(QDate::currentDate().addDays(2));
        emit p.date()->editingFinished();
        QVERIFY(p.error()->isVisibleTo(p.r->page()));
        QCOMPARE(p.error()->text(), QString("Warning: Reading Date is in the future"));
        QCOMPARE(p.count(), QString("2 of 2"));
    }

    // Whatever the page changes in a reading marks it for the calculations; moving through
    // readings without changing them marks nothing.
    void changedReadingsAreMarked()
    {
        addSensorWith(threeReadings());
        {
            auto db = TestData::openDatabase();
            db->execute(QString("UPDATE `%1` SET IsDirty = 0").arg(Sensor));
        }
        Page p;
        p.click("imgFirst");
        p.click("imgNextData");
        p.click("imgLast");
        for (const QDateTime& t : {R1, R2, R3}) QCOMPARE(p.stored(t, "IsDirty").toInt(), 0);
        p.box(3)->setText("7");  // a channel
        p.click("imgPrevData");
        QCOMPARE(p.stored(R3, "IsDirty").toInt(), 1);
        p.get<QCheckBox>("chkSpatial")->setChecked(true);  // a plot flag
        p.click("imgFirst");
        QCOMPARE(p.stored(R2, "IsDirty").toInt(), 1);
        QCOMPARE(p.stored(R1, "IsDirty").toInt(), 0);
        p.pick(QDate(2024, 4, 20), R1.time());  // re-dated
        QCOMPARE(p.stored(QDateTime(QDate(2024, 4, 20), R1.time()), "IsDirty").toInt(), 1);
    }

    void addingTakesNowAndRefusesATakenKey()
    {
        addSensorWith(threeReadings());
        Page p;
        const QDateTime now(QDate(2024, 6, 1), QTime(9, 30, 15, 400));
        p.r->clock = [now] { return now; };
        p.box(1)->setText("12.3");  // the shown reading is saved first
        p.click("imgAddReading");
        const QDateTime added(now.date(), QTime(9, 30, 15));
        QCOMPARE(p.shownKey(), key(added));
        QCOMPARE(p.count(), QString("4 of 4"));
        QCOMPARE(p.stored(R3, "Channel1").toString(), QString("12.30"));
        QCOMPARE(p.stored(added, "ReadingDate").toString(), QString("2024/06/01"));
        QCOMPARE(p.stored(added, "ReadingTime").toString(), QString("09:30:15"));
        QCOMPARE(p.stored(added, "FullDate").toString(), QString("2024-06-01 09:30:15"));
        QCOMPARE(p.stored(added, "Plottemporal").toInt(), 1);
        QCOMPARE(p.stored(added, "PlotSpatial").toInt(), 0);
        QCOMPARE(p.stored(added, "IsDirty").toInt(), 1);
        QVERIFY(p.stored(added, "Channel1").toString().isEmpty());
        QVERIFY(p.box(1)->text().isEmpty());
        QVERIFY(p.get<QCheckBox>("chkTemporal")->isChecked());
        QVERIFY(!p.get<QCheckBox>("chkSpatial")->isChecked());

        // A second add within the same second is refused (the first given a value, as an
        // empty one would make way for it).
        p.box(1)->setText("4");
        p.click("imgAddReading");
        QCOMPARE(p.msgs.script.texts(), QStringList{"There is already a reading with that date and time"});
        QCOMPARE(p.msgs.script.shown[0].title, QString("Duplicate Reading"));
        QCOMPARE(p.keys().size(), 4);
        QCOMPARE(p.count(), QString("4 of 4"));
        // Refused while another reading is shown: that reading stays the one saved.
        p.click("imgFirst");
        p.r->clock = [] { return R2; };
        p.click("imgAddReading");
        QCOMPARE(p.msgs.script.shown.size(), size_t(2));
        QCOMPARE(p.shownKey(), key(R1));
        p.box(2)->setText("8");
        p.click("imgNextData");
        QCOMPARE(p.stored(R1, "Channel2").toString(), QString("8.00"));
        QCOMPARE(p.stored(R2, "Channel2").toString(), QString("21.00"));
        QCOMPARE(p.count(), QString("2 of 4"));
    }

    void addingBeforeALaterReadingShowsTheLatest()
    {
        auto list = threeReadings();
        const QDateTime later(QDate(2030, 1, 1), QTime(8, 0));
        list.append(reading(later));
        addSensorWith(list);
        Page p;
        const QDateTime now(QDate(2024, 6, 1), QTime(9, 0, 0));
        p.r->clock = [now] { return now; };
        p.click("imgAddReading");
        QCOMPARE(p.keys(), QStringList({key(R1), key(R2), key(R3), key(now), key(later)}));
        QCOMPARE(p.count(), QString("5 of 5"));
        QCOMPARE(p.shownKey(), key(later));
        p.click("imgPrevData");
        QCOMPARE(p.shownKey(), key(now));
        QCOMPARE(p.count(), QString("4 of 5"));
    }

    void addingRefusedWhileTheShownReadingIsInvalid()
    {
        addSensorWith(threeReadings());
        Page p;
        p.box(5)->setText("20000");
        p.click("imgAddReading");
        QCOMPARE(p.error()->text(), QString("Error: Gauge 5 must be > -10000 and < 10000"));
        QCOMPARE(p.keys().size(), 3);
    }

    void addingToAnEmptyTable()
    {
        addSensorWith({});
        Page p;
        p.r->clock = [] { return R1; };
        p.click("imgAddReading");
        QCOMPARE(p.count(), QString("1 of 1"));
        QCOMPARE(p.shownKey(), key(R1));
        QVERIFY(!p.error()->isVisibleTo(p.r->page()));
    }

    void leavingAndEnteringKeepTheShownReading()
    {
        addSensorWith(threeReadings());
        Page p;
        p.click("imgFirst");
        p.box(1)->setText("1.5");
        p.r->leaveReadingsTab();
        QCOMPARE(p.stored(R1, "Channel1").toString(), QString("1.50"));
        QVERIFY(p.w.shared().savedReadingBookmark != 0);
        p.r->enterReadingsTab();
        QCOMPARE(p.shownKey(), key(R1));
        QCOMPARE(p.count(), QString("1 of 3"));
        p.w.shared().savedReadingBookmark = 0;
        p.r->enterReadingsTab();
        QCOMPARE(p.shownKey(), key(R3));
    }

    void moreThanSixteenBitsOfReadings()
    {
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {Sensor});
            TestData::addManyReadings(*db, Sensor, 40000, QDateTime(QDate(2019, 1, 1), QTime(0, 0)), 6);
        }
        Page p;
        QCOMPARE(p.count(), QString("40000 of 40000"));
        p.w.shared().rsReadings->setAbsolutePosition(35000);
        p.r->fillreadings();
        QCOMPARE(p.count(), QString("35000 of 40000"));
        const QString was = p.shownKey();
        p.pick(QDate(2030, 1, 1), QTime(0, 0, 0));
        QCOMPARE(p.count(), QString("40000 of 40000"));
        QCOMPARE(p.shownKey(), Sensor + " 2030/01/01 00:00:00");
        QVERIFY(!p.keys().contains(was));
        p.click("imgPrevData");
        QCOMPARE(p.count(), QString("39999 of 40000"));
    }
};

QTEST_MAIN(TestReadings)
#include "tst_readings.moc"
