#include "support/TestEnv.h"
#include "core/DatabaseChoice.h"
#include "core/Paths.h"
#include "setup/Installer.h"
#include "store/BulkInsert.h"
#include "store/DataTables.h"
#include "store/Database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

TestHome::TestHome()
{
    m_oldHome = qgetenv("HOME");
    qputenv("HOME", m_dir.path().toLocal8Bit());
    for (const char* v : {"XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) qunsetenv(v);
}

TestHome::~TestHome() { qputenv("HOME", m_oldHome); }

namespace TestEnv {

bool isRoot() { return ::geteuid() == 0; }

int runUnprivileged(const QStringList& functions)
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) return -1;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("HOME"), QDir::tempPath());
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(QDir::tempPath());
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList args{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                     QStringLiteral("--"), QCoreApplication::applicationFilePath()};
    args << functions;
    child.start(setpriv, args);
    if (!child.waitForStarted(10000)) return -1;
    child.waitForFinished(300000);
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

}  // namespace TestEnv

namespace TestServer {

bool wanted() { return qEnvironmentVariable("TARNWELL_TEST_ENGINE") == QLatin1String("server"); }

bool required() { return qEnvironmentVariable("TARNWELL_TEST_SERVER_REQUIRED") == QLatin1String("1"); }

QString uri() { return QStringLiteral("postgresql://"); }

// CTest counts this exit code of a server run as skipped (tests/CMakeLists.txt).
constexpr int SkippedExitCode = 77;

void skipProgramWithoutServer()
{
    if (!wanted()) return;
    const QString why = unavailableReason();
    if (why.isEmpty()) return;
    if (required()) qFatal("no database server: %s", qPrintable(why));
    // No test of this run can do anything without the server: the whole program is skipped.
    std::printf("SKIP   : %s: no database server to run on (%s)\n", qPrintable(QCoreApplication::applicationName()),
                qPrintable(why));
    std::fflush(stdout);
    std::_Exit(SkippedExitCode);
}

QString unavailableReason()
{
    static const QString reason = [] {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            return QStringLiteral("Qt's PostgreSQL driver is not installed; scripts/install-deps installs it");
        if (qEnvironmentVariableIsEmpty("PGHOST") && qEnvironmentVariableIsEmpty("PGPORT") &&
            qEnvironmentVariableIsEmpty("PGDATABASE"))
            return QStringLiteral(
                "no PGHOST/PGPORT/PGDATABASE set; scripts/test starts a throw-away server "
                "with pg_virtualenv");
        QString why;
        {
            QSqlDatabase pg = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-server-probe"));
            if (!pg.open()) why = QStringLiteral("the server does not answer: ") + pg.lastError().text();
            pg.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("test-server-probe"));
        return why;
    }();
    return reason;
}

void emptyDatabase()
{
    skipProgramWithoutServer();
    {
        QSqlDatabase pg = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-server-reset"));
        if (!pg.open()) qFatal("cannot reach the test server: %s", qPrintable(pg.lastError().text()));
        QSqlQuery q(pg);
        if (!q.exec(QStringLiteral("SET client_min_messages = warning")) ||
            !q.exec(QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE")) ||
            !q.exec(QStringLiteral("CREATE SCHEMA public")))
            qFatal("cannot empty the test server: %s", qPrintable(q.lastError().text()));
        q.finish();
        pg.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-server-reset"));
}

QString adminExec(const QStringList& statements)
{
    skipProgramWithoutServer();
    QString failure;
    {
        QSqlDatabase pg = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-admin"));
        if (!pg.open()) {
            failure = pg.lastError().text();
        } else {
            QSqlQuery q(pg);
            for (const QString& sql : statements)
                if (!q.exec(sql)) {
                    failure = sql + QStringLiteral(": ") + q.lastError().text();
                    break;
                }
            q.finish();
        }
        pg.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-admin"));
    return failure;
}

QVariant adminValue(const QString& sql)
{
    skipProgramWithoutServer();
    QVariant v;
    {
        QSqlDatabase pg = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-admin"));
        if (pg.open()) {
            QSqlQuery q(pg);
            if (q.exec(sql) && q.next()) v = q.value(0);
        }
        pg.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-admin"));
    return v;
}

}  // namespace TestServer

namespace TestData {

QString databaseTarget() { return TestServer::wanted() ? TestServer::uri() : Paths::databasePath(); }

void installFresh()
{
    TestServer::skipProgramWithoutServer();
    QDir(Paths::dataFolder()).removeRecursively();
    const Installer::Result r = Installer::install();
    if (!r.ok) qFatal("set-up failed: %s", qPrintable(r.lines.join('\n')));
    if (!TestServer::wanted()) return;
    // The window of a server run opens the server, as `tarnwell --database URI` does.
    DatabaseChoice::setForThisRun(TestServer::uri());
    TestServer::emptyDatabase();
    const Installer::Result s = Installer::setUpServer(TestServer::uri());
    if (!s.ok) qFatal("server set-up failed: %s", qPrintable(s.lines.join('\n')));
}

std::unique_ptr<Database> openDatabase(const QString& connectionName)
{
    TestServer::skipProgramWithoutServer();
    auto db = std::make_unique<Database>(connectionName);
    if (!db->open(databaseTarget()))
        qFatal("cannot open the test database: %s %s", qPrintable(Database::describe(db->openFailure())),
               qPrintable(db->openFailureDetail()));
    return db;
}

void addSensor(Database& db, const NewSensor& sensor)
{
    const QString type = sensor.id.mid(4, 2);
    const QVariant channels =
        db.scalar(QStringLiteral("SELECT NumChannels FROM Configuration WHERE SensorType = ?"), {type});
    db.execute(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorNo, SensorType, Family, Model, "
                              "numgauges, LengthofCable, InstallDate, Destroyed, HeadLocation, Stacked, boltkfactor, "
                              "lengthofgauge, NodeLocation1) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
               {sensor.id, sensor.id.left(4), type, sensor.id.mid(6, 3), type, QStringLiteral("HALYX"),
                QStringLiteral("d%1HALYX").arg(channels.toInt()), channels, 0.0, QStringLiteral("2025/04/01"),
                QStringLiteral("No"), 1, sensor.stacked ? 1 : 0, sensor.boltkfactor, sensor.lengthofgauge,
                sensor.nodeLocation1});
    DataTables::createDataTable(db, sensor.id);
    db.execute(QStringLiteral("INSERT INTO NetworkConfig (SensorID, MasterID, SlaveID, SlotID, TimeConfig) "
                              "VALUES (?, 'NA', 'NA', 'NA', 24)"),
               {sensor.id});
}

QString readingKey(const QString& id, const QDateTime& when)
{
    return id + ' ' + when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

void addReadings(Database& db, const QString& id, const QList<NewReading>& readings)
{
    // As the logger import writes (batched on a server); a key given twice is a mistake of
    // the test.
    Transaction tx(db);
    QStringList cols{QStringLiteral("DateTimeKey"), QStringLiteral("FullDate"), QStringLiteral("ReadingDate"),
                     QStringLiteral("ReadingTime"), QStringLiteral("ChannelT"), QStringLiteral("Plottemporal"),
                     QStringLiteral("PlotSpatial"), QStringLiteral("DoNotPlot")};
    for (int i = 1; i <= 10; ++i) cols << QStringLiteral("Channel%1").arg(i);
    BulkInsert ins(db, id, cols, {QStringLiteral("IsDirty")}, {QStringLiteral("1")}, [](QByteArrayView key) {
        throw TwError(ErrNo::DatabaseError, QStringLiteral("The reading ") + QString::fromUtf8(key.data(), key.size()) +
                                                QStringLiteral(" is there already"));
    });
    for (const NewReading& r : readings) {
        QByteArray texts[18];
        bool given[18];
        auto put = [&](int i, const QString& v) {
            texts[i] = v.toUtf8();
            given[i] = !v.isNull();
        };
        put(0, readingKey(id, r.when));
        put(1, r.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        put(2, r.when.toString(QStringLiteral("yyyy/MM/dd")));
        put(3, r.when.toString(QStringLiteral("HH:mm:ss")));
        put(4, r.temperature);
        put(5, r.temporal ? QStringLiteral("1") : QStringLiteral("0"));
        put(6, r.spatial ? QStringLiteral("1") : QStringLiteral("0"));
        put(7, r.doNotPlot ? QStringLiteral("1") : QStringLiteral("0"));
        for (int i = 0; i < 10; ++i) put(8 + i, i < r.channels.size() ? r.channels[i] : QString());
        QByteArrayView row[18];
        for (int i = 0; i < 18; ++i)
            if (given[i]) row[i] = QByteArrayView(texts[i].isNull() ? "" : texts[i].constData(), texts[i].size());
        ins.add(row);
    }
    ins.flush();
    tx.commit();
}

void addManyReadings(Database& db, const QString& id, int count, const QDateTime& start, int channels)
{
    QList<NewReading> list;
    list.reserve(count);
    for (int n = 0; n < count; ++n) {
        NewReading r;
        r.when = start.addSecs(qint64(n) * 3600);
        for (int c = 1; c <= channels; ++c)
            r.channels << QString::number(100.0 * c + 50.0 * std::sin(n / 24.0 + c), 'f', 2);
        r.temperature = QString::number(15.0 + 5.0 * std::sin(n / 100.0), 'f', 1);
        r.temporal = (n % 7 == 0);
        r.spatial = (n % 500 == 0);
        list << r;
    }
    addReadings(db, id, list);
}

}  // namespace TestData
