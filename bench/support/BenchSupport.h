#pragma once
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>

class Database;

// A benchmark's surroundings: a temporary HOME with a fresh database, a timer and the
// process's resident memory, and one line per figure.
namespace Bench {

// Points HOME at a temporary folder and installs a fresh database there.
class Home {
public:
    Home();
    ~Home();

private:
    QTemporaryDir m_dir;
};

// Fills a sensor (created when missing) with count hourly readings in one transaction.
void fillSensor(Database& db, const QString& id, int count, bool stacked = true);

// The stored texts of a reading taken at a moment (UTC seconds since the epoch): its key
// ("<sensor> yyyy/MM/dd HH:mm:ss"), FullDate, ReadingDate and ReadingTime, made without
// allocating, for benchmarks that write a million rows.
struct ReadingTexts {
    ReadingTexts(const QByteArray& sensor, qint64 utcSeconds);
    char key[64], full[32], date[16], time[16];
};

// Resident memory of this process in MB.
double residentMB();

// Prints "name: value unit (target: ...)" on one line.
void report(const QString& name, double value, const QString& unit, const QString& target = QString());

}  // namespace Bench
