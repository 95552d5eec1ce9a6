#include "importer/ImportRun.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "core/Paths.h"
#include "core/TwError.h"
#include "importer/ImportAlarms.h"
#include "importer/ImportPasses.h"
#include "notify/Outbox.h"
#include "database/DatabaseUpgrade.h"
#include "store/Database.h"
#include "store/Statistics.h"
#include "tools/ColumnMap.h"
#include "tools/LoggerFormats.h"
#include "tools/LoggerImport.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <memory>
#include <sqlite3.h>

namespace ImportRun {

namespace {

constexpr int ShownRefusals = 5;
constexpr int BusyTimeoutMs = 60000;  // a second writer (the program, another run) is waited for
constexpr int GroupMs = 250;          // longest a write transaction of the folder mode goes on taking files

bool readFile(const QString& path, QByteArray& data, QString& why)
{
    const QFileInfo fi(path);
    if (fi.isSymLink() && !fi.exists()) {
        why = QStringLiteral("the file cannot be read (it is a link to ") + fi.symLinkTarget() +
              QStringLiteral(", which is not there)");
        return false;
    }
    if (!fi.exists()) {
        why = QStringLiteral("no such file");
        return false;
    }
    if (!fi.isFile()) {
        why = QStringLiteral("the file cannot be read (it is not a regular file)");
        return false;
    }
    if (fi.size() > LoggerFormats::MaxFileBytes) {
        why = QStringLiteral("the file is larger than 2 GB");
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("the file cannot be read (") + f.errorString() + u')';
        return false;
    }
    data = f.readAll();
    return true;
}

// The mapping of a file for a sensor; throws TwError with the reason when there is none.
LoggerReadings::Mapping mappingFor(Database& db, const LoggerFormats::Opened& file, const QString& sensorId,
                                   const LoggerReadings::Target& target, const Options& options)
{
    if (!file.needsMap()) return LoggerFormats::commaSeparatedMapping(int(options.commaSeparatedLayout), target);
    const auto map = ColumnMaps::load(db, sensorId, file.signature());
    if (!map)
        throw TwError(ErrNo::ItemNotFound, QStringLiteral("sensor %1 has no column map for this layout of %2 file; "
                                                          "import one such file in Tarnwell to choose it")
                                               .arg(sensorId, LoggerFormats::name(file.format)));
    LoggerReadings::Mapping m;
    const QString problem = LoggerFormats::mappingFor(file, *map, m);
    if (!problem.isEmpty())
        throw TwError(ErrNo::ItemNotFound,
                      QStringLiteral("the column map of sensor %1 cannot be used: %2").arg(sensorId, problem));
    return m;
}

// Appends a file's readings to one sensor inside the caller's transaction.
void importInto(Database& db, const LoggerFormats::Opened& file, const QString& sensorId, const Options& options,
                FileReport& report)
{
    const LoggerReadings::Target target = LoggerImport::targetFor(db, sensorId);
    const LoggerReadings::Mapping m = mappingFor(db, file, sensorId, target, options);
    // Every line is offered, so that those that cannot be stored are reported as refused;
    // an interval leaves out the dated lines too close to the one before (in time order).
    std::vector<bool> selected(size_t(file.table.rowCount()), true);
    if (options.interval > 0) {
        const std::vector<qint64> moments = LoggerReadings::moments(file.table, m);
        selected = LoggerReadings::preselect(moments, options.interval);
        for (size_t i = 0; i < moments.size(); ++i)
            if (moments[i] == LoggerReadings::NoMoment) selected[i] = true;
    }
    const LoggerReadings::Survey survey = LoggerReadings::survey(file.table, selected, m, target, {}, true);
    report.refused += qint64(survey.refused.size());
    for (const auto& r : survey.refused)
        if (report.refusedLines.size() < ShownRefusals)
            report.refusedLines << QStringLiteral("line %1: %2").arg(r.line).arg(r.reason);
    // The readings go in with their computed columns where the passes' inputs allow it, so
    // the pass before the command ends has little left to do.
    const LoggerReadings::Outcome o = LoggerReadings::append(db, target, file.table, survey, m, {}, true, true);
    report.appended += o.appended;
    report.duplicates += o.duplicates;
    report.alarmEvents += ImportAlarms::newEvents(db, sensorId, o.appended);
    report.sensors << sensorId;
}

void archive(const Options& options, const QString& path, const FileReport& report)
{
    if (report.appended == 0 || options.dataFolder.isEmpty()) return;
    for (const QString& sensor : report.sensors)
        runTrapped(QStringLiteral(" tarnwell-import archive ") + path, [&] {
            LoggerImport::archiveCopy(options.dataFolder, path, sensor, QDate::currentDate(), QFileInfo(path).suffix());
        });
}

void fail(FileReport& report, const TwError& e)
{
    report.failed = true;
    report.reason = e.description;
    report.appended = report.duplicates = report.refused = 0;
    report.refusedLines.clear();
    report.alarmEvents = 0;
    WriteLog(trapMessage(e.number, e.description, QStringLiteral(" tarnwell-import ") + report.file));
}

QString contentHash(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

bool alreadyImported(Database& db, const QString& hash, qint64 size, const QString& name)
{
    return !db.scalar(
                  QStringLiteral("SELECT 1 FROM ImportedFiles WHERE ContentHash = ? AND FileSize = ? AND FileName = ?"),
                  {hash, size, name})
                .isNull();
}

}  // namespace

QString FileReport::summary() const
{
    if (failed) return file + QStringLiteral(": failed, nothing stored: ") + reason;
    if (skipped) return file + QStringLiteral(": skipped: ") + reason;
    QString line = file + QStringLiteral(": sensor ") + sensors.join(QStringLiteral(", ")) +
                   QStringLiteral(": %1 appended, %2 duplicates, %3 refused lines, %4 new alarm events")
                       .arg(appended)
                       .arg(duplicates)
                       .arg(refused)
                       .arg(alarmEvents);
    for (const QString& r : refusedLines) line += QStringLiteral("\n  ") + r;
    if (refused > refusedLines.size()) line += QStringLiteral("\n  ... and %1 more").arg(refused - refusedLines.size());
    return line;
}

FileReport importFile(Database& db, const QString& sensorId, const QString& path, const Options& options)
{
    FileReport report;
    report.file = path;
    try {
        QByteArray data;
        QString why;
        if (!readFile(path, data, why)) throw TwError(ErrNo::FileNotFound, why);
        const LoggerFormats::Opened file = LoggerFormats::open(std::move(data));
        if (!file.error.isEmpty()) throw TwError(ErrNo::TypeMismatch, LoggerFormats::refusalText(file));
        Transaction tx(db, Transaction::Lock::Immediate);
        importInto(db, file, sensorId, options, report);
        tx.commit();
    } catch (const TwError& e) {
        fail(report, e);
        return report;
    }
    archive(options, path, report);
    return report;
}

std::vector<FileReport> importFolder(Database& db, const QString& folder, const Options& options)
{
    std::vector<FileReport> reports;
    const QDir dir(folder);
    if (!dir.exists()) {
        FileReport r;
        r.file = folder;
        fail(r, TwError(ErrNo::FileNotFound, QStringLiteral("no such folder")));
        reports.push_back(r);
        return reports;
    }
    static const QRegularExpression sensorName(QStringLiteral("^([0-9]{9})\\.txt$"));
    // Every file is listed, also one this account may not read or a link to nothing: such a
    // file is reported as failed with its reason, never passed over without a word.
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::System, QDir::Name);

    // Files go in a few at a time: one write transaction holds the files of up to a quarter
    // of a second (each file a savepoint of its own, so a failing file stores nothing and
    // the others stay), which spares a disk flush per small file while another writer (the
    // program, a second run) never waits long. A second run waits for the lock and then
    // finds the files recorded.
    std::unique_ptr<Transaction> group;
    QElapsedTimer groupAge;
    std::vector<size_t> inGroup;  // reports of files imported in the open group
    auto closeGroup = [&] {
        if (!group) return;
        try {
            group->commit();
        } catch (const TwError& e) {
            for (size_t k : inGroup) fail(reports[k], e);
        }
        group.reset();
        for (size_t k : inGroup)
            if (!reports[k].failed) archive(options, reports[k].file, reports[k]);
        inGroup.clear();
    };

    for (const QFileInfo& fi : entries) {
        FileReport report;
        report.file = fi.filePath();
        try {
            QByteArray data;
            QString why;
            if (!readFile(fi.filePath(), data, why)) throw TwError(ErrNo::FileNotFound, why);
            const QString hash = contentHash(data);
            const qint64 size = data.size();
            if (!group && alreadyImported(db, hash, size, fi.fileName())) continue;
            const LoggerFormats::Opened file = LoggerFormats::open(std::move(data));
            if (!file.error.isEmpty()) throw TwError(ErrNo::TypeMismatch, LoggerFormats::refusalText(file));
            QStringList sensors;
            if (file.needsMap()) {
                sensors = ColumnMaps::sensorsWithMap(db, file.signature());
            } else if (const auto m = sensorName.match(fi.fileName()); m.hasMatch()) {
                if (!db.scalar(QStringLiteral("SELECT 1 FROM Sensors WHERE InstrumentID = ?"), {m.captured(1)})
                         .isNull())
                    sensors << m.captured(1);
            }
            if (sensors.isEmpty()) {
                report.skipped = true;
                report.reason = file.needsMap() ? QStringLiteral("no sensor has a column map for its layout")
                                                : QStringLiteral("not named after a sensor of the database");
                reports.push_back(report);
                continue;
            }
            if (!group) {
                group = std::make_unique<Transaction>(db, Transaction::Lock::Immediate);
                groupAge.start();
            }
            if (alreadyImported(db, hash, size, fi.fileName())) continue;
            // The file's readings and its record go in together.
            Transaction tx(db);
            for (const QString& sensor : sensors) importInto(db, file, sensor, options, report);
            db.execute(
                QStringLiteral("INSERT INTO ImportedFiles (ContentHash, FileSize, FileName, ImportedAt, Sensors, "
                               "Appended) VALUES (?,?,?,?,?,?)"),
                {hash, size, fi.fileName(),
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), sensors.join(u','),
                 report.appended});
            tx.commit();
        } catch (const TwError& e) {
            fail(report, e);
            reports.push_back(report);
            continue;
        }
        inGroup.push_back(reports.size());
        reports.push_back(report);
        if (groupAge.elapsed() >= GroupMs) closeGroup();
    }
    closeGroup();
    return reports;
}

QString nothingNewLine(const QString& folder) { return folder + QStringLiteral(": nothing new to import"); }

int exitCode(const std::vector<FileReport>& reports)
{
    int code = 0;
    for (const FileReport& r : reports) {
        if (r.failed) return 2;
        if (r.refused > 0) code = 1;
    }
    return code;
}

// The manual page (tarnwell-import.1) gives the same options, exit status, files and
// environment word for word; a test compares the two.
QString helpText()
{
    return QStringLiteral(
               "Usage: tarnwell-import [--database PATH|URI] [--interval HOURS] [--date-layout LAYOUT] --sensor N "
               "FILE...\n"
               "       tarnwell-import [--database PATH|URI] [--interval HOURS] [--date-layout LAYOUT] --folder DIR\n"
               "\n"
               "Appends the readings of logger files to Tarnwell's database, with no window and no\n"
               "question: for a timer or a logger PC's script. Safe while Tarnwell is open.\n"
               "\n"
               "Options:\n"
               "  --sensor N                the nine-digit sensor the files' readings belong to\n"
               "  --folder DIR              every file of DIR not imported before: a file with named\n"
               "                            columns (TOA5 or CSV) goes to each sensor that has a column\n"
               "                            map for its layout; a comma-separated file named N.txt to\n"
               "                            sensor N. Each file is imported once (remembered by name,\n"
               "                            size and content hash).\n"
               "  --database PATH|URI       the database to use instead of Tarnwell's own: a database\n"
               "                            file, or a team database on a PostgreSQL server as\n"
               "                            postgresql://user@host:port/dbname\n"
               "  --interval HOURS          take only readings at least HOURS clock hours apart\n"
               "                            (default 0: all)\n"
               "  --date-layout LAYOUT      dates of comma-separated files without a header: ymd\n"
               "                            (default), dmy or mdy\n"
               "  --help                    this text\n"
               "\n"
               "A file with named columns needs its sensor's column map, chosen the first time such a\n"
               "file is imported in Tarnwell. One line is printed per file: readings appended,\n"
               "duplicates, refused lines, new alarm events.\n"
               "\n"
               "Exit status:\n"
               "  0  every file went in (duplicates included)\n"
               "  1  some lines were refused; the rest went in\n"
               "  2  a file failed (nothing of that file stored), no database was found, or the\n"
               "     command was used wrongly\n"
               "\n"
               "Files:\n"
               "  %1  the database (Tarnwell's own)\n"
               "  %2  the error log, where failures go too\n"
               "  %3  a copy of each imported file\n"
               "\n"
               "Environment:\n"
               "  PGPASSWORD  the password of a team database, when ~/.pgpass has none\n")
        .arg(Paths::databasePath(), Paths::logFilePath(), Paths::dataFolder() + QStringLiteral("/imports"));
}

int run(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    QString sensor, folder;
    QStringList files;
    auto usage = [&](const QString& why) {
        err << "tarnwell-import: " << why << "\n"
            << "Try 'tarnwell-import --help'.\n";
        err.flush();
        return 2;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == QLatin1StringView("--help") || a == QLatin1StringView("-h")) {
            out << helpText();
            out.flush();
            return 0;
        } else if (a == QLatin1StringView("--sensor")) {
            if (!value(sensor)) return usage(QStringLiteral("--sensor needs a sensor number"));
        } else if (a == QLatin1StringView("--folder")) {
            if (!value(folder)) return usage(QStringLiteral("--folder needs a folder"));
        } else if (a == QLatin1StringView("--database")) {
            if (!value(options.databasePath)) return usage(QStringLiteral("--database needs a path"));
        } else if (a == QLatin1StringView("--interval")) {
            QString v;
            bool ok = false;
            if (value(v)) options.interval = v.toInt(&ok);
            if (!ok || options.interval < 0) return usage(QStringLiteral("--interval needs a whole number of hours"));
        } else if (a == QLatin1StringView("--date-layout")) {
            QString v;
            value(v);
            if (v == QLatin1StringView("ymd")) options.commaSeparatedLayout = LoggerClock::Layout::YearFirst;
            else if (v == QLatin1StringView("dmy")) options.commaSeparatedLayout = LoggerClock::Layout::DayFirst;
            else if (v == QLatin1StringView("mdy")) options.commaSeparatedLayout = LoggerClock::Layout::MonthFirst;
            else return usage(QStringLiteral("--date-layout is ymd, dmy or mdy"));
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return usage(QStringLiteral("unknown option ") + a);
        } else {
            files << a;
        }
    }
    if (folder.isEmpty() == sensor.isEmpty())
        return usage(QStringLiteral("give either --sensor N with files, or --folder DIR"));
    if (!sensor.isEmpty() && files.isEmpty()) return usage(QStringLiteral("--sensor needs at least one file"));
    if (!folder.isEmpty() && !files.isEmpty()) return usage(QStringLiteral("--folder takes no file names"));

    const QString dbPath = options.databasePath.isEmpty() ? Paths::databasePath() : options.databasePath;
    // A server's database has no folder: what the import keeps beside the database (the
    // copy before an upgrade, the log) goes to the data folder.
    options.dataFolder = Database::isServerTarget(dbPath) ? Paths::dataFolder() : QFileInfo(dbPath).absolutePath();
    Database db(QStringLiteral("tarnwell-import"));
    if (!db.open(dbPath)) {
        if (Database::isServerTarget(dbPath)) {
            const QString why =
                Database::describe(db.openFailure()) +
                (db.openFailureDetail().isEmpty() ? QString() : QStringLiteral(" (") + db.openFailureDetail() + u')');
            err << "tarnwell-import: cannot use the database server: " << why << "\n";
            err.flush();
            WriteLog(QStringLiteral("tarnwell-import: cannot use the database server: ") + why);
            return 2;
        }
        err << "tarnwell-import: no Tarnwell database at " << dbPath << "\n";
        err.flush();
        WriteLog(QStringLiteral("tarnwell-import: no database at ") + dbPath);
        return 2;
    }
    if (sqlite3* h = db.sqliteHandle()) sqlite3_busy_timeout(h, BusyTimeoutMs);
    QString refusal;
    if (!DatabaseUpgrade::upgradeOpenDatabase(db, options.dataFolder, &refusal)) {
        err << "tarnwell-import: " << refusal << "\n";
        err.flush();
        return 2;
    }
    std::vector<FileReport> reports;
    if (!folder.isEmpty()) {
        reports = importFolder(db, folder, options);
    } else {
        for (const QString& f : files) reports.push_back(importFile(db, sensor, f, options));
    }
    for (const FileReport& r : reports) out << r.summary() << "\n";
    if (!folder.isEmpty() && reports.empty()) out << nothingNewLine(folder) << "\n";
    out.flush();
    QStringList appendedTo;
    for (const FileReport& r : reports)
        if (r.appended > 0)
            for (const QString& id : r.sensors)
                if (!appendedTo.contains(id)) appendedTo << id;
    // A server's plans for the tables that grew much are made from fresh statistics.
    for (const QString& id : appendedTo) {
        qint64 appended = 0;
        for (const FileReport& r : reports)
            if (r.sensors.contains(id)) appended += r.appended;
        Statistics::refreshAfter(db, id, appended);
    }
    // The appended readings computed as the program's passes store them, so an unattended
    // import leaves nothing for the program to catch up on.
    ImportPasses::computeAppended(dbPath, QString(), appendedTo);
    // The alarm notifications the import queued (and any left by earlier runs), now that
    // its transactions are committed; what fails is logged and tried again next run.
    Outbox::sendDue(db);
    return exitCode(reports);
}

}  // namespace ImportRun
