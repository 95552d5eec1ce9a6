#pragma once
#include "core/Desktop.h"
#include "core/Messages.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class Database;

// Gives the test process a temporary HOME, so the data folder (documents folder +
// /Orrisford/Tarnwell) and the single-copy lock live in a throw-away place.
class TestHome {
public:
    TestHome();
    ~TestHome();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
};

// Installs a message script for the lifetime of the object (answers and records boxes).
class ScriptedMessages {
public:
    ScriptedMessages() { Messages::installScript(&script); }
    ~ScriptedMessages() { Messages::installScript(nullptr); }
    Messages::Script script;
};

// Records desktop open requests instead of opening anything.
class RecordedDesktop {
public:
    RecordedDesktop() { Desktop::installRecorder(&recorder); }
    ~RecordedDesktop() { Desktop::installRecorder(nullptr); }
    Desktop::Recorder recorder;
};

namespace TestEnv {

// Whether this process runs as the administrator, who may write read-only files.
bool isRoot();

// Runs the given test functions of this test program again as an unprivileged user
// (nobody, through setpriv), each child with a HOME of its own; returns the child's exit
// code, or -1 when it could not be started. Used where the behaviour depends on file
// permissions, which do not bind the administrator.
int runUnprivileged(const QStringList& functions);

// SHA-256 of a file's bytes (empty when it cannot be read).
QByteArray fileHash(const QString& path);

}  // namespace TestEnv

// In a test function: runs it again as an unprivileged user when this process is the
// administrator (who may write read-only files), and ends it here with that run's outcome.
#define TARNWELL_AS_UNPRIVILEGED_USER()                                                               \
    if (TestEnv::isRoot()) {                                                                          \
        const int rc = TestEnv::runUnprivileged({QString::fromLatin1(QTest::currentTestFunction())}); \
        if (rc < 0) QSKIP("setpriv is not available to run as an unprivileged user");                 \
        QCOMPARE(rc, 0);                                                                              \
        return;                                                                                       \
    }

// The same test program runs once on the database file and once on a database server,
// chosen by the environment: TARNWELL_TEST_ENGINE=server makes TestData use the server
// the PG* variables name (PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE, as Debian's
// pg_virtualenv sets them). Without a reachable server such a run is skipped with the
// reason, unless TARNWELL_TEST_SERVER_REQUIRED=1 (scripts/test), which makes it fail.
namespace TestServer {
bool wanted();
// The server's URI ("postgresql://": everything from the environment).
QString uri();
// Empty when the server answers; otherwise why it cannot be used.
QString unavailableReason();
bool required();
// On a server run without a reachable server: fails (where one is required) or ends the
// whole test program as skipped, with the reason. Every helper below that needs the server,
// and TestData's set-up and opening, call it first, so a test that forgets
// TARNWELL_SERVER_OR_SKIP() is skipped too rather than aborted.
void skipProgramWithoutServer();
// Drops every table of the server's database (its public schema made again, empty).
void emptyDatabase();
// Statements of the server's administrator, on a connection of their own, outside the
// program: empty when every one ran, else the failing statement and the server's words.
QString adminExec(const QStringList& statements);
// The first value of an administrator's query (invalid when it fails or has no row).
QVariant adminValue(const QString& sql);
}  // namespace TestServer

// In initTestCase (or a test function): on a server run without a server, skip (or fail
// where one is required) with the reason.
#define TARNWELL_SERVER_OR_SKIP()                                                        \
    if (TestServer::wanted()) {                                                          \
        const QString why = TestServer::unavailableReason();                             \
        if (!why.isEmpty()) {                                                            \
            if (TestServer::required()) QFAIL(qPrintable("no database server: " + why)); \
            QSKIP(qPrintable("no database server to run on (" + why + ")"));             \
        }                                                                                \
    }

// In a test function that is about the database file itself: skipped on a server run.
#define TARNWELL_FILE_ONLY() \
    if (TestServer::wanted()) QSKIP("about the database file; this run is on a server")

namespace TestData {

// The database the tests use: the data folder's file, or the test server's URI.
QString databaseTarget();

// Removes the data folder and creates it again with a fresh database (as tarnwell-setup does);
// on a server run, empties the server's database and sets it up as tarnwell-setup --server.
void installFresh();

// Opens the database of the data folder on its own connection.
std::unique_ptr<Database> openDatabase(const QString& connectionName = QStringLiteral("test-data"));

struct NewSensor {
    QString id;  // nine digits; characters 5-6 are the type code
    bool stacked = true;
    QString boltkfactor = QStringLiteral("100");
    QString lengthofgauge = QStringLiteral("50");
    QString nodeLocation1 = QStringLiteral("100");
};

// Adds a sensor as the program does: Sensors row, data table, NetworkConfig row.
void addSensor(Database& db, const NewSensor& sensor);

struct NewReading {
    QDateTime when;
    QStringList channels;  // Channel1.. as stored texts
    QString temperature;   // ChannelT as stored text
    bool temporal = true;
    bool spatial = false;
    bool doNotPlot = false;
};

// Adds readings to a sensor's data table (one transaction).
void addReadings(Database& db, const QString& id, const QList<NewReading>& readings);

// Adds count readings one hour apart from start, channel values varying smoothly.
void addManyReadings(Database& db, const QString& id, int count, const QDateTime& start, int channels = 6);

// The reading key of a sensor at a date-time.
QString readingKey(const QString& id, const QDateTime& when);

}  // namespace TestData
