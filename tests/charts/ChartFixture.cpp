#include "ChartFixture.h"
#include "app/MainWindow.h"
#include "charts/ChartControl.h"
#include "core/Paths.h"
#include "sensors/SensorRegistry.h"
#include "store/Database.h"

#include <QFile>
#include <QLineEdit>
#include <cmath>

namespace ChartFixture {

void addHourlySensor(const QString& id, int count, const QString& update)
{
    auto db = TestData::openDatabase(QStringLiteral("hourly-sensor"));
    TestData::NewSensor sensor;
    sensor.id = id;
    TestData::addSensor(*db, sensor);
    TestData::addManyReadings(*db, id, count, QDateTime(QDate(2025, 4, 2), QTime(8, 0)));
    if (!update.isEmpty()) db->execute(update.arg(QStringLiteral("`%1`").arg(id)));
}

void addSensor(const QString& id, bool stacked, const QList<Row>& rows)
{
    auto db = TestData::openDatabase(QStringLiteral("chart-fixture"));
    TestData::NewSensor sensor;
    sensor.id = id;
    sensor.stacked = stacked;
    TestData::addSensor(*db, sensor);
    QList<TestData::NewReading> readings;
    for (const Row& r : rows) {
        TestData::NewReading s;
        s.when = r.when;
        s.temporal = r.temporal;
        s.spatial = r.spatial;
        s.doNotPlot = r.doNotPlot;
        s.temperature = QString::number(r.temp, 'f', 1);
        readings << s;
    }
    TestData::addReadings(*db, id, readings);
    Transaction tx(*db);
    for (const Row& r : rows) {
        QString set = QStringLiteral("NumTemp = ?");
        QVariantList binds{r.temp};
        auto add = [&](const char* col, const QList<double>& values) {
            for (int k = 0; k < values.size(); ++k) {
                set += QStringLiteral(", %1%2 = ?").arg(QLatin1String(col)).arg(k + 1);
                binds << (std::isnan(values[k]) ? QVariant() : QVariant(values[k]));  // NaN: no value
            }
        };
        add("Load", r.load);
        add("Disp", r.disp);
        add("Stretch", r.stretch);
        binds << TestData::readingKey(id, r.when);
        db->execute(QStringLiteral("UPDATE `%1` SET %2 WHERE DateTimeKey = ?").arg(id, set), binds);
    }
    tx.commit();
}

void setBox(MainWindow& w, const QString& name, const QString& text)
{
    QWidget* pages[] = {w.sensors()->installationPage(), w.sensors()->identificationPage()};
    for (QWidget* page : pages)
        if (auto* box = page->findChild<QLineEdit*>(name)) {
            box->setText(text);
            return;
        }
    auto* box = new QLineEdit(pages[0]);
    box->setObjectName(name);
    box->setText(text);
}

void showSensor(MainWindow& w, const QStringList& nodes, const QStringList& centres, const QString& cable)
{
    Shared& s = w.shared();
    const QString type = s.rsSensors->text(QStringLiteral("SensorType"));
    s.rsConfig->moveFirst();
    s.rsConfig->find(QStringLiteral("SensorType = '") + type + '\'');
    for (int k = 1; k <= 8; ++k)
        setBox(w, QStringLiteral("txtRelSGanchor(%1)").arg(k), k <= nodes.size() ? nodes[k - 1] : QString());
    for (int k = 1; k <= 6; ++k)
        setBox(w, QStringLiteral("txtRelSGCenter(%1)").arg(k), k <= centres.size() ? centres[k - 1] : QString());
    setBox(w, QStringLiteral("txtLengthofCable"), cable);
}

QList<Row> hourly(const QDateTime& start, int count, int minutesApart)
{
    QList<Row> rows;
    for (int i = 0; i < count; ++i) {
        Row r;
        r.when = start.addSecs(qint64(i) * minutesApart * 60);
        rows << r;
    }
    return rows;
}

ChartControl* chartOf(MainWindow& w, const char* name) { return w.findChild<ChartControl*>(name); }

QByteArray readLog()
{
    QFile f(Paths::logFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace ChartFixture
