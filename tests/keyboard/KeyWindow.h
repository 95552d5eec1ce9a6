#pragma once
// The main window started in-process for the keyboard tests: two sensors of type 75, the
// first with three readings; the window is active, so keys reach the focused control and
// its shortcuts as they do for a user.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "readings/ReadingsController.h"
#include "store/Database.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace Keys {

inline const QString Sensor1 = QStringLiteral("250475001");
inline const QString Sensor2 = QStringLiteral("250475002");
inline const QDateTime R1(QDate(2024, 5, 1), QTime(10, 0, 0));
inline const QDateTime R2(QDate(2024, 5, 2), QTime(14, 30, 0));
inline const QDateTime R3(QDate(2024, 5, 3), QTime(10, 0, 0));

inline QString key(const QDateTime& t) { return TestData::readingKey(Sensor1, t); }

// A fresh database with the two sensors and the first one's readings.
inline void installSensors()
{
    TestData::installFresh();
    auto db = TestData::openDatabase();
    TestData::addSensor(*db, {Sensor1});
    TestData::addSensor(*db, {Sensor2});
    TestData::addReadings(*db, Sensor1,
                          {{R1, {"10.00", "20.00", "30.00", "40.00", "50.00", "60.00"}, "20.5"},
                           {R2, {"11.00", "21.00", "31.00", "41.00", "51.00", "61.00"}, "21.0"},
                           {R3, {"12.00", "22.00", "32.00", "42.00", "52.00", "62.00"}, "21.5"}});
}

// The object name a user would call the focused control by: compound controls (a
// calendar's table, a combo box's line edit, the tab bar) answer with their owner's name.
inline QString nameOf(QWidget* w)
{
    while (w && (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))) w = w->parentWidget();
    return w ? w->objectName() : QStringLiteral("<none>");
}

inline QString focusName() { return nameOf(QApplication::focusWidget()); }

// A key pressed as the user presses it: to the control that has the focus.
inline void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    QVERIFY(target);
    if (key == Qt::Key_Backtab) {
        // The desktop's Shift+Tab types no character (Qt's test keys would add one).
        QTest::sendKeyEvent(QTest::Press, target, Qt::Key_Backtab, QString(), mods);
        QTest::sendKeyEvent(QTest::Release, target, Qt::Key_Backtab, QString(), mods);
        return;
    }
    QTest::keyClick(target, Qt::Key(key), mods);
}

// Presses Tab (or Shift+Tab) count times and lists the controls the focus lands on.
inline QStringList walk(int count, bool backwards = false)
{
    QStringList seen;
    for (int i = 0; i < count; ++i) {
        press(backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        seen << focusName();
    }
    return seen;
}

struct Window {
    ScriptedMessages msgs;
    RecordedDesktop desktop;
    MainWindow w;

    Window()
    {
        w.show();
        activate();
        w.readings()->clock = [] { return QDateTime(QDate(2024, 6, 1), QTime(9, 15, 0)); };
        msgs.script.shown.clear();
    }

    // The main window active again (after a modal window closed).
    void activate()
    {
        w.activateWindow();
        if (!QTest::qWaitFor([this] { return w.isActiveWindow(); })) qFatal("the main window did not become active");
    }

    template <class T = QWidget>
    T* get(const QString& name)
    {
        T* c = w.findChild<T*>(name);
        if (!c) qFatal("no control %s", qPrintable(name));
        return c;
    }
    int tab() const { return w.tabWidget->currentIndex(); }
    // Position of the readings recordset's current row (0 when it is closed).
    qint64 readingPosition()
    {
        Recordset* rs = w.shared().rsReadings.get();
        return rs && rs->isOpen() && rs->hasCurrentRow() ? rs->absolutePosition() : 0;
    }
    QString shownKey() { return get<QLineEdit>(QStringLiteral("txtReadingID"))->text(); }
    QString shownSensor() { return w.shared().currentSensorId(); }
    QVariant stored(const QDateTime& when, const QString& column)
    {
        return w.shared().db.scalar(QStringLiteral("SELECT %1 FROM `%2` WHERE DateTimeKey = ?").arg(column, Sensor1),
                                    {key(when)});
    }
    QStringList readingKeys()
    {
        QStringList out;
        QSqlQuery q(w.shared().db.handle());
        q.exec(QStringLiteral("SELECT DateTimeKey FROM `%1` ORDER BY FullDate").arg(Sensor1));
        while (q.next()) out << q.value(0).toString();
        return out;
    }
    // Ctrl+<n>: tab n ("3. Readings" is Ctrl+3).
    void goToTab(int index) { press(Qt::Key_1 + index, Qt::ControlModifier); }
    // On the Readings tab, the reading at position 1..3 shown, by clicking the images.
    void showReading(int position)
    {
        goToTab(MainWindow::TabReadings);
        get<QToolButton>(QStringLiteral("imgFirst"))->click();
        for (int i = 1; i < position; ++i) get<QToolButton>(QStringLiteral("imgNextData"))->click();
        msgs.script.shown.clear();
    }
    void focus(const QString& name) { get(name)->setFocus(Qt::TabFocusReason); }
    QStringList messages() const { return msgs.script.texts(); }
};

}  // namespace Keys
