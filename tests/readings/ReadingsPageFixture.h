#pragma once
// The "3. Readings" page in the real window, as its tests drive it: a sensor of the test
// database with readings, the window on the Readings tab, its boxes and what the data
// table holds.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "readings/ReadingsController.h"
#include "store/Database.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>

inline const QString Sensor = "250475001";
inline const QDateTime R1(QDate(2024, 5, 1), QTime(10, 0, 0));
inline const QDateTime R2(QDate(2024, 5, 2), QTime(14, 30, 0));
inline const QDateTime R3(QDate(2024, 5, 3), QTime(10, 0, 0));

inline QString key(const QDateTime& t) { return TestData::readingKey(Sensor, t); }

inline TestData::NewReading reading(const QDateTime& when, const QString& channel1 = "1")
{
    TestData::NewReading r;
    r.when = when;
    r.channels = {channel1};
    r.temperature = "20.0";
    return r;
}

// The window on the Readings tab of the first sensor, its boxes set up for the type.
struct Page {
    ScriptedMessages msgs;
    MainWindow w;
    ReadingsController* r = nullptr;

    explicit Page(const QString& type = "75")
    {
        w.show();
        r = w.readings();
        Shared& s = w.shared();
        s.rsConfig->moveFirst();
        s.rsConfig->find("SensorType = '" + type + "'");
        r->ConfigureForm();
        {
            const QSignalBlocker quiet(w.tabWidget);
            w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        }
        r->enterReadingsTab();
        msgs.script.shown.clear();
    }
    // The window told of the Readings tab as a user's click tells it, so that leaving
    // it runs the tab change.
    void enterTabAsAUserDoes()
    {
        {
            const QSignalBlocker quiet(w.tabWidget);
            w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
        }
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
    }
    template <class T>
    T* get(const QString& name)
    {
        return w.findChild<T*>(name);
    }
    QLineEdit* box(int i) { return get<QLineEdit>(QString("txtChannel(%1)").arg(i)); }
    QLineEdit* temp() { return get<QLineEdit>("txtChannelT"); }
    QString count() { return get<QLineEdit>("txtRcount")->text(); }
    QString shownKey() { return get<QLineEdit>("txtReadingID")->text(); }
    QLabel* error() { return get<QLabel>("lblError"); }
    QDateEdit* date() { return get<QDateEdit>("dtpRdate"); }
    QTimeEdit* time() { return get<QTimeEdit>("dtpRtime"); }
    void click(const QString& image) { get<QToolButton>(image)->click(); }
    QVariant stored(const QDateTime& when, const QString& column)
    {
        return w.shared().db.scalar(QString("SELECT %1 FROM `%2` WHERE DateTimeKey = ?").arg(column, Sensor),
                                    {key(when)});
    }
    QStringList keys()
    {
        QStringList out;
        QSqlQuery q(w.shared().db.handle());
        q.exec(QString("SELECT DateTimeKey FROM `%1` ORDER BY FullDate").arg(Sensor));
        while (q.next()) out << q.value(0).toString();
        return out;
    }
    // The user picks a date and time and finishes the edit.
    void pick(const QDate& d, const QTime& t)
    {
        date()->setDate(d);
        time()->setTime(t);
        emit time()->editingFinished();
    }
};

inline void addSensorWith(const QList<TestData::NewReading>& readings, const QString& id = Sensor)
{
    auto db = TestData::openDatabase();
    TestData::addSensor(*db, {id});
    if (!readings.isEmpty()) TestData::addReadings(*db, id, readings);
}

inline QList<TestData::NewReading> threeReadings()
{
    return {{R1, {"10.00", "20.00", "30.00", "40.00", "50.00", "60.00"}, "20.5"},
            {R2, {"11.00", "21.00", "31.00", "41.00", "51.00", "61.00"}, "21.0"},
            {R3, {"12.00", "22.00", "32.00", "42.00", "52.00", "62.00"}, "21.5", true, true}};
}
