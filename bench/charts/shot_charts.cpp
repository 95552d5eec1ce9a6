// Draws every chart with realistic readings and saves a picture of the main window for
// each chart tab, so that a person can look at dates, legends and titles.
// Usage: shot_charts <output folder> [months|day|twodays]
#include "support/BenchSupport.h"
#include "app/MainWindow.h"
#include "charts/ChartsController.h"
#include "core/Paths.h"
#include "sensors/SensorRegistry.h"
#include "session/Shared.h"
#include "store/DataTables.h"
#include "store/Database.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <cmath>
#include <cstdio>

namespace {

void addSensor(Database& db, const QString& id, bool stacked, const QDateTime& start, int count, int minutesApart)
{
    db.execute(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorNo, SensorType, Family, Model, "
                              "numgauges, LengthofCable, InstallDate, Destroyed, HeadLocation, Stacked, boltkfactor, "
                              "lengthofgauge, NodeLocation1) VALUES (?,?,?,?,?,'HALYX','d6HALYX',6,3.5,'2025/01/10',"
                              "'No',1,?,'95.5','0.5','0.5')"),
               {id, id.left(4), id.mid(4, 2), id.mid(6, 3), id.mid(4, 2), stacked ? 1 : 0});
    DataTables::createDataTable(db, id);
    Transaction tx(db);
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("INSERT INTO `%1` (DateTimeKey, FullDate, ReadingDate, ReadingTime, ChannelT, Channel1, "
                             "Channel2, Channel3, Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, DoNotPlot, "
                             "IsDirty) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,0,1)")
                  .arg(id));
    for (int n = 0; n < count; ++n) {
        const QDateTime t = start.addSecs(qint64(n) * minutesApart * 60);
        const double days = start.secsTo(t) / 86400.0;
        q.addBindValue(id + ' ' + t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        q.addBindValue(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        q.addBindValue(t.toString(QStringLiteral("yyyy/MM/dd")));
        q.addBindValue(t.toString(QStringLiteral("HH:mm:ss")));
        q.addBindValue(QString::number(14 + 3 * std::sin(days / 5 + t.time().hour() / 4.0), 'f', 1));
        for (int c = 1; c <= 6; ++c) {
            // Strain grows as the rock moves, most near the collar, with a little noise.
            const double growth = (7 - c) * 160.0 * (1 - std::exp(-days / (minutesApart >= 1440 ? 20.0 : 0.4)));
            const double noise = 3.0 * std::sin(n * 1.7 + c);
            q.addBindValue(QString::number(1000.0 + 40 * c + growth + noise, 'f', 2));
        }
        q.addBindValue(1);
        q.addBindValue(n % 4 == 0 ? 1 : 0);
        if (!q.exec()) qFatal("%s", qPrintable(q.lastError().text()));
    }
    tx.commit();
}

void setBox(MainWindow& w, const QString& name, const QString& text)
{
    for (QWidget* page : {w.sensors()->installationPage(), w.sensors()->identificationPage()})
        if (auto* box = page->findChild<QLineEdit*>(name)) {
            if (box->text().isEmpty()) box->setText(text);
            return;
        }
    auto* box = new QLineEdit(w.sensors()->installationPage());
    box->setObjectName(name);
    box->setText(text);
    box->hide();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    const QString scenario = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("months");
    QDir().mkpath(out);
    Bench::Home home;
    {
        Database db(QStringLiteral("shots"));
        db.open(Paths::databasePath());
        db.execute(QStringLiteral("UPDATE Prefs SET MineID = 'Kestrel Deep-'"));
        if (scenario == QLatin1String("day"))
            addSensor(db, QStringLiteral("250175014"), false, QDateTime(QDate(2025, 6, 12), QTime(6, 10)), 30, 30);
        else if (scenario == QLatin1String("twodays"))
            addSensor(db, QStringLiteral("250175014"), false, QDateTime(QDate(2025, 6, 12), QTime(15, 0)), 40, 30);
        else
            addSensor(db, QStringLiteral("250175014"), scenario == QLatin1String("stacked"),
                      QDateTime(QDate(2025, 1, 14), QTime(9, 30)), 70, 1440);
    }
    MainWindow w;
    w.show();
    Shared& s = w.shared();
    s.rsConfig->moveFirst();
    s.rsConfig->find(QStringLiteral("SensorType = '") + s.rsSensors->text(QStringLiteral("SensorType")) + '\'');
    const bool stacked = scenario == QLatin1String("stacked");
    for (int k = 1; k <= 8; ++k)
        setBox(w, QStringLiteral("txtRelSGanchor(%1)").arg(k),
               QString::number(0.5 + (k - 1) * (stacked ? 0.5 : 0.25), 'f', 2));
    for (int k = 1; k <= 6; ++k)
        setBox(w, QStringLiteral("txtRelSGCenter(%1)").arg(k),
               QString::number(0.75 + (k - 1) * (stacked ? 0.5 : 0.25), 'f', 2));
    setBox(w, QStringLiteral("txtLengthofCable"), QStringLiteral("3.5"));
    QApplication::processEvents();

    const int last =
        scenario == QLatin1String("months") || stacked ? MainWindow::TabShearVLength : MainWindow::TabDispVTime;
    for (int tab = MainWindow::TabLoadVTime; tab <= last; ++tab) {
        w.tabWidget->setCurrentIndex(tab);
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        const QString file = QStringLiteral("%1/%2-tab%3.png").arg(out, scenario).arg(tab + 1);
        w.grab().save(file);
        std::printf("%s (tab now %d)\n", qPrintable(file), w.tabWidget->currentIndex());
    }
    return 0;
}
