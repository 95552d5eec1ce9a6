#pragma once
// The main window started in-process for the sensor registry's tests: boxes are answered
// and recorded by the message script, controls are found by their names.
#include "app/MainWindow.h"
#include "core/ErrorLog.h"
#include "core/Paths.h"
#include "sensors/GaugeLayout.h"
#include "sensors/RecordText.h"
#include "sensors/SensorRegistry.h"
#include "store/Database.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

struct SensorWindow {
    ScriptedMessages msg;
    MainWindow w;

    SensorWindow()
    {
        w.show();
        msg.script.shown.clear();
    }

    template <class T = QLineEdit>
    T* get(const QString& name)
    {
        T* c = w.findChild<T*>(name);
        if (!c) qFatal("no control %s", qPrintable(name));
        return c;
    }
    QString text(const QString& name) { return get<QLineEdit>(name)->text(); }
    void setText(const QString& name, const QString& t) { get<QLineEdit>(name)->setText(t); }
    QComboBox* sensors() { return get<QComboBox>("cboSensors"); }
    SensorRegistry& reg() { return *w.sensors(); }
    Database& db() { return w.shared().db; }
    QVariant scalar(const QString& sql, const QVariantList& binds = {}) { return db().scalar(sql, binds); }
    QVariant field(const QString& id, const QString& column)
    {
        return scalar("SELECT " + column + " FROM Sensors WHERE InstrumentID = ?", {id});
    }
    void click(const QString& name) { get<QToolButton>(name)->click(); }
    QStringList texts() const { return msg.script.texts(); }
    QStringList listed()
    {
        QStringList out;
        for (int i = 0; i < sensors()->count(); ++i) out << sensors()->itemText(i);
        return out;
    }
    // A choice from the list, as the user makes it.
    void choose(const QString& id)
    {
        const int i = sensors()->findText(id);
        QVERIFY(i >= 0);
        sensors()->setCurrentIndex(i);
        emit sensors()->activated(i);
    }
};

inline QByteArray readLog()
{
    QFile f(Paths::logFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void addSensors(std::initializer_list<TestData::NewSensor> specs)
{
    auto db = TestData::openDatabase();
    for (const auto& s : specs) TestData::addSensor(*db, s);
}
