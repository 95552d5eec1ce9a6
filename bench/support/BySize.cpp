#include "support/BySize.h"
#include "support/BenchSupport.h"
#include "store/DataTables.h"
#include "store/BulkInsert.h"
#include "store/Database.h"
#include "store/Statistics.h"
#include "store/Statement.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unistd.h>

namespace Bench {

namespace {

struct Row {
    QString unit;
    QString target;
    QMap<int, double> values;
    QMap<int, double> bare;
};

QString number(double v, const QString& unit)
{
    if (std::isnan(v)) return QStringLiteral("-");
    if (unit == QLatin1String("ms")) {
        if (v >= 1000) return QString::number(v / 1000, 'f', 2) + QStringLiteral(" s");
        return QString::number(v, 'f', v < 10 ? 2 : 0) + QStringLiteral(" ms");
    }
    return QString::number(v, 'f', v < 10 ? 2 : 0) + ' ' + unit;
}

QString grouped(int n) { return QLocale(QLocale::English).toString(n); }

void printTable(const QString& title, const QList<int>& sizes, const QStringList& order, const QMap<QString, Row>& rows,
                const QStringList& notes)
{
    std::printf("\n%s\n", qPrintable(title));
    QStringList head{QStringLiteral("figure")};
    for (int s : sizes) head << grouped(s);
    head << QStringLiteral("growth") << QStringLiteral("floor, same run (figure ÷ floor)") << QStringLiteral("target");
    std::printf("| %s |\n|%s\n", qPrintable(head.join(QStringLiteral(" | "))),
                qPrintable(QString(QStringLiteral("---|")).repeated(int(head.size()))));
    for (const QString& name : order) {
        const Row& r = rows[name];
        QStringList cells{name};
        for (int s : sizes) cells << (r.values.contains(s) ? number(r.values[s], r.unit) : QStringLiteral("-"));
        QString growth = QStringLiteral("-");
        if (sizes.size() >= 2 && r.values.contains(sizes.last()) && r.values.contains(sizes[sizes.size() - 2]) &&
            r.values[sizes[sizes.size() - 2]] > 0)
            growth = QString::number(r.values[sizes.last()] / r.values[sizes[sizes.size() - 2]], 'f', 1) +
                     QStringLiteral("x");
        cells << growth;
        // The floor of the same run, and the figure over it: a busy machine slows both.
        QString floor = QStringLiteral("-");
        if (r.bare.contains(sizes.last())) {
            const double b = r.bare[sizes.last()];
            floor = number(b, r.unit);
            if (b > 0 && r.values.contains(sizes.last()))
                floor +=
                    QStringLiteral(" (") + QString::number(r.values[sizes.last()] / b, 'f', 2) + QStringLiteral("x)");
        }
        cells << floor;
        cells << (r.target.isEmpty() ? QStringLiteral("-") : r.target);
        std::printf("| %s |\n", qPrintable(cells.join(QStringLiteral(" | "))));
    }
    for (const QString& n : notes) std::printf("%s\n", qPrintable(n));
    std::fflush(stdout);
}

}  // namespace

int bySize(int argc, char** argv, const QString& title, const std::function<void(const SizeRun&)>& one)
{
    QList<int> sizes{10000, 100000, 1000000};
    int runs = 3, child = 0;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString& p : args[i + 1].split(',')) sizes << p.toInt();
        } else if (args[i] == QLatin1String("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QLatin1String("--size")) {
            child = args[i + 1].toInt();
        }
    }
    (void)argc;
    (void)argv;
    if (child > 0) {
        one(SizeRun{child, runs});
        return 0;
    }

    QStringList order, notes;
    QMap<QString, Row> rows;
    for (int size : sizes) {
        std::printf("... %s readings\n", qPrintable(grouped(size)));
        std::fflush(stdout);
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--size"), QString::number(size), QStringLiteral("--runs"), QString::number(runs)});
        if (!p.waitForStarted()) return 1;
        QByteArray pending;
        auto take = [&](bool all) {
            pending += p.readAllStandardOutput();
            int nl;
            while ((nl = int(pending.indexOf('\n'))) >= 0 || (all && !pending.isEmpty())) {
                const QByteArray line = nl >= 0 ? pending.left(nl) : pending;
                pending = nl >= 0 ? pending.mid(nl + 1) : QByteArray();
                const QStringList f = QString::fromUtf8(line).split('\t');
                if (f.value(0) == QLatin1String("@fig") && f.size() >= 5) {
                    if (!rows.contains(f[1])) order << f[1];
                    Row& r = rows[f[1]];
                    r.values[size] = f[2].toDouble();
                    r.unit = f[3];
                    if (!f[4].isEmpty()) r.target = f[4];
                } else if (f.value(0) == QLatin1String("@bare") && f.size() >= 3) {
                    if (!rows.contains(f[1])) order << f[1];
                    rows[f[1]].bare[size] = f[2].toDouble();
                } else if (f.value(0) == QLatin1String("@note") && f.size() >= 2) {
                    notes << QStringLiteral("%1 readings: %2").arg(grouped(size), f[1]);
                } else if (!line.isEmpty()) {
                    std::printf("  %s\n", line.constData());
                    std::fflush(stdout);
                }
            }
        };
        while (!p.waitForFinished(200)) take(false);
        take(true);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            notes << QStringLiteral("%1 readings: the run ended abnormally").arg(grouped(size));
    }
    printTable(title, sizes, order, rows, notes);
    return 0;
}

void figure(const QString& name, double value, const QString& unit, const QString& target)
{
    std::printf("@fig\t%s\t%.6f\t%s\t%s\n", qPrintable(name), value, qPrintable(unit), qPrintable(target));
    std::fflush(stdout);
}

void bare(const QString& name, double value)
{
    std::printf("@bare\t%s\t%.6f\n", qPrintable(name), value);
    std::fflush(stdout);
}

void note(const QString& text)
{
    std::printf("@note\t%s\n", qPrintable(text));
    std::fflush(stdout);
}

double fastest(int runs, const std::function<void()>& fn, const std::function<void()>& setup)
{
    double best = std::numeric_limits<double>::infinity();
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        if (setup) setup();
        ::sync();  // what earlier work left for the disk is written before the clock starts
        t.restart();
        fn();
        best = std::min(best, ms(t));
    }
    return best;
}

double peakMB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

double fillMinutes(Database& db, const QString& id, int count, bool stacked)
{
    QElapsedTimer t;
    t.start();
    const QString type = id.mid(4, 2);
    if (db.scalar(QStringLiteral("SELECT count(*) FROM Sensors WHERE InstrumentID = ?"), {id}).toInt() == 0) {
        db.execute(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorNo, SensorType, Family, "
                                  "Model, numgauges, LengthofCable, InstallDate, Destroyed, HeadLocation, Stacked, "
                                  "boltkfactor, lengthofgauge, NodeLocation1) VALUES (?,?,?,?,?,'HALYX','d6HALYX',6,0,"
                                  "'2020/01/01','No',1,?,100,50,100)"),
                   {id, id.left(4), type, id.mid(6, 3), type, stacked ? 1 : 0});
        DataTables::createDataTable(db, id);
    }
    // Written as the logger import writes: one prepared insert per row on the file, batches
    // through the server's bulk copy on a server.
    Transaction tx(db);
    BulkInsert ins(
        db, id,
        {QStringLiteral("DateTimeKey"), QStringLiteral("FullDate"), QStringLiteral("ReadingDate"),
         QStringLiteral("ReadingTime"), QStringLiteral("ChannelT"), QStringLiteral("Channel1"),
         QStringLiteral("Channel2"), QStringLiteral("Channel3"), QStringLiteral("Channel4"), QStringLiteral("Channel5"),
         QStringLiteral("Channel6"), QStringLiteral("Plottemporal"), QStringLiteral("PlotSpatial")},
        {QStringLiteral("DoNotPlot"), QStringLiteral("IsDirty")}, {QStringLiteral("0"), QStringLiteral("1")}, {});
    const QByteArray sensor = id.toLatin1();
    const qint64 start = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    char texts[7][32];
    for (int n = 0; n < count; ++n) {
        const ReadingTexts r(sensor, start + qint64(n) * 60);
        QByteArrayView row[13];
        row[0] = r.key;
        row[1] = r.full;
        row[2] = r.date;
        row[3] = r.time;
        std::snprintf(texts[0], sizeof texts[0], "%.1f", 15 + 5 * std::sin(n / 6000.0));
        row[4] = texts[0];
        for (int c = 1; c <= 6; ++c) {
            std::snprintf(texts[c], sizeof texts[c], "%.2f", 100.0 * c + 50 * std::sin(n / 1440.0 + c));
            row[4 + c] = texts[c];
        }
        row[11] = "1";
        row[12] = n % 100 == 0 ? "1" : "0";
        ins.add(row);
    }
    ins.flush();
    tx.commit();
    // As the import does after appending: the server's statistics gathered again.
    Statistics::refreshAfter(db, id, count);
    return ms(t);
}

}  // namespace Bench
