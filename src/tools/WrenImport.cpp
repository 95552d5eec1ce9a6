#include "tools/WrenImport.h"
#include "maintenance/ErrorLog.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/TwError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace WrenImport {

namespace {

[[noreturn]] void fileError(int number, const QString& what, const QString& path)
{
    throw TwError(number, what + QStringLiteral(" '") + path + QStringLiteral("'"));
}

// Deletes the layout file when the opening is over, however it ends.
struct SchemaGuard {
    QString path;
    ~SchemaGuard() { QFile::remove(path); }
};

// Whether the table has a unique index on DateTimeKey alone.
bool hasUniqueKeyIndex(Database& db, const QString& table)
{
    QSqlQuery q(db.handle());
    if (!q.exec(QStringLiteral("PRAGMA index_list(") + SqlDialect::quoteName(table) + u')')) return false;
    QStringList unique;
    while (q.next())
        if (q.value(QStringLiteral("unique")).toInt() == 1) unique << q.value(QStringLiteral("name")).toString();
    for (const QString& idx : unique) {
        QSqlQuery c(db.handle());
        if (!c.exec(QStringLiteral("PRAGMA index_info(") + SqlDialect::quoteName(idx) + u')')) continue;
        QStringList cols;
        while (c.next()) cols << c.value(QStringLiteral("name")).toString();
        if (cols.size() == 1 && cols[0].compare(QLatin1String("DateTimeKey"), Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

}  // namespace

bool FileExists(const QString& path)
{
    if (path.isEmpty()) return false;
    const QFileInfo fi(path);
    return fi.exists() && fi.isFile();
}

bool FolderExists(const QString& path)
{
    if (path.isEmpty()) return false;
    const QFileInfo fi(path);
    return fi.exists() && fi.isDir();
}

DataFile openDataFile(const QString& dataFolder, const QString& path, const LoggerFile::Progress& progress)
{
    DataFile out;
    const QString schemaPath = QDir(dataFolder).filePath(SchemaFileName);
    SchemaGuard guard{schemaPath};
    const QString folderWords = QStringLiteral("The data folder cannot be written");
    {
        QFile::remove(schemaPath);
        QFile schema(schemaPath);
        if (!schema.open(QIODevice::WriteOnly | QIODevice::Append))
            fileError(ErrNo::PermissionDenied, folderWords + QStringLiteral(" (") + schema.errorString() + ')', schemaPath);
        const QByteArray bytes = LoggerFile::schemaIniBytes();
        if (schema.write(bytes) != bytes.size())
            fileError(ErrNo::PermissionDenied, folderWords + QStringLiteral(" (") + schema.errorString() + ')', schemaPath);
    }
    if (!FileExists(path)) {
        out.noDataFile = true;
        return out;
    }
    // A chosen file that cannot be read, or is gone by the time it is read, is told as
    // such (not as a missing working copy).
    auto sourceError = [&](const QString& detail) {
        if (!FileExists(path)) fileError(ErrNo::FileNotFound, QStringLiteral("The logger file is no longer there"), path);
        fileError(ErrNo::PermissionDenied, QStringLiteral("The logger file cannot be read (") + detail + ')', path);
    };
    const QString copyPath = QDir(dataFolder).filePath(WorkingCopyName);
    // Choosing the working copy itself must not delete it before it is copied.
    if (QFileInfo(path).canonicalFilePath() != QFileInfo(copyPath).canonicalFilePath()) {
        QFile source(path);
        if (!source.open(QIODevice::ReadOnly)) sourceError(source.errorString());
        source.close();
        if (QFile::exists(copyPath) && !QFile::remove(copyPath))
            fileError(ErrNo::PermissionDenied, folderWords, copyPath);
        if (!QFile::copy(path, copyPath)) {
            QFile::remove(copyPath);
            if (!FileExists(path)) sourceError(QString());
            fileError(ErrNo::PermissionDenied, QStringLiteral("The logger file could not be copied into the data folder"), copyPath);
        }
    }
    QFile copy(copyPath);
    if (!copy.open(QIODevice::ReadOnly)) sourceError(copy.errorString());
    const QByteArray data = copy.readAll();
    if (copy.error() != QFileDevice::NoError) sourceError(copy.errorString());
    out.rows = LoggerFile::parse(data, progress, &out.cancelled);
    out.noDataFile = false;
    return out;
}

Target targetFor(Database& db, const QString& sensorId)
{
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("SELECT c.NumChannels, c.TempChannel, c.LowVal, c.HighVal, c.TempLow, c.TempHigh "
                             "FROM Sensors s JOIN Configuration c ON c.SensorType = s.SensorType WHERE s.InstrumentID = ?"));
    q.addBindValue(sensorId);
    if (!q.exec()) throwSqlError(q.lastError());
    if (!q.next()) throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("No sensor type found for sensor ") + sensorId);
    Target t;
    t.sensorId = sensorId;
    t.gauges = std::clamp(q.value(0).toInt(), 0, 10);
    t.tempChannel = q.value(1).toInt() != 0;
    t.limits = ReadingRules::limitsFrom(q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5));
    // The file's temperature field is read exactly when the type has the channel.
    t.limits.tempChannel = t.tempChannel;
    return t;
}

QString leadingFixed(QStringView text, int decimals)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = (text[i++] == u'-');
    QString whole, frac;
    bool dot = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') (dot ? frac : whole) += c;
        else if (c == u'.' && !dot) dot = true;
        else break;
    }
    if (whole.isEmpty() && frac.isEmpty()) negative = false;
    // Digits kept, then half away from zero on the first digit dropped, as by hand.
    QString keep = (whole.isEmpty() ? QStringLiteral("0") : whole) + frac.left(decimals).leftJustified(decimals, u'0');
    const QStringView rest = QStringView(frac).mid(std::min<qsizetype>(decimals, frac.size()));
    const bool up = !rest.isEmpty() && rest[0] >= u'5';
    if (up) {
        qsizetype k = keep.size() - 1;
        for (; k >= 0; --k) {
            if (keep[k] == u'9') keep[k] = u'0';
            else { keep[k] = QChar(keep[k].unicode() + 1); break; }
        }
        if (k < 0) keep.prepend(u'1');
    }
    QString intPart = keep.left(keep.size() - decimals);
    qsizetype z = 0;
    while (z + 1 < intPart.size() && intPart[z] == u'0') ++z;
    intPart.remove(0, z);
    const QString fracPart = keep.right(decimals);
    bool zero = true;
    for (QChar c : keep) zero = zero && c == u'0';
    QString out = (negative && !zero ? QStringLiteral("-") : QString()) + intPart;
    if (decimals > 0) out += u'.' + fracPart;
    return out;
}

std::optional<Reading> readingFromRow(const LoggerFile::Row& row, WrenDates::Layout layout, const Target& target)
{
    if (row.broken) return std::nullopt;
    const auto stamp = WrenDates::read(row.field(0), layout);
    if (!stamp) return std::nullopt;
    Reading r;
    r.readingDate = stamp->dateText;
    r.readingTime = stamp->timeText;
    r.fullDate = stamp->storedText();
    r.key = target.sensorId + u' ' + stamp->fullText();
    const int base = target.tempChannel ? 4 : 3;
    if (target.tempChannel) {
        const QStringView t = row.field(4);
        if (!t.trimmed().isEmpty()) r.channelT = leadingFixed(t, 1);
    }
    r.channels.reserve(target.gauges);
    for (int k = 1; k <= target.gauges; ++k) r.channels << leadingFixed(row.field(base + k), 2);
    return r;
}

ImportChecks::LineValues lineValues(const LoggerFile::Row& row, WrenDates::Layout layout, const Target& target)
{
    ImportChecks::LineValues v;
    v.dateText = row.fieldText(0);
    v.dateRead = !row.broken && WrenDates::read(row.field(0), layout).has_value();
    const int base = target.tempChannel ? 4 : 3;
    if (target.tempChannel) v.temperature = row.fieldText(4);
    for (int k = 1; k <= target.gauges; ++k) v.gauges << row.fieldText(base + k);
    return v;
}

namespace {
QString refusalOf(const LoggerFile::Row& row, WrenDates::Layout layout, const Target& target)
{
    if (row.broken) return QStringLiteral("a quoted field is never closed on this line");
    QString why = ImportChecks::refusal(lineValues(row, layout, target), target.limits);
    if (why.startsWith(QLatin1String("the date \""))) why += QStringLiteral(" as ") + WrenDates::layoutCaption(layout);
    return why;
}
}  // namespace

std::vector<ImportChecks::Refused> refusedRows(const std::vector<LoggerFile::Row>& rows,
                                               const std::vector<bool>& selected, WrenDates::Layout layout,
                                               const Target& target)
{
    std::vector<ImportChecks::Refused> out;
    for (size_t i = 0; i < rows.size() && i < selected.size(); ++i) {
        if (!selected[i]) continue;
        const QString why = refusalOf(rows[i], layout, target);
        if (!why.isEmpty()) out.push_back({rows[i].line, why});
    }
    return out;
}

Outcome appendRows(Database& db, const Target& target, const std::vector<LoggerFile::Row>& rows,
                   const std::vector<bool>& selected, WrenDates::Layout layout, const LoggerFile::Progress& progress)
{
    Outcome out;
    const QString table = SqlDialect::quoteName(target.sensorId);
    const bool byIndex = hasUniqueKeyIndex(db, target.sensorId);

    QString cols = QStringLiteral("DateTimeKey, ReadingDate, ReadingTime, FullDate, IsDirty, PlotSpatial, Plottemporal");
    QString marks = QStringLiteral("?, ?, ?, ?, 1, 1, 1");
    if (target.tempChannel) {
        cols += QStringLiteral(", ChannelT");
        marks += QStringLiteral(", ?");
    }
    for (int k = 1; k <= target.gauges; ++k) {
        cols += QStringLiteral(", Channel%1").arg(k);
        marks += QStringLiteral(", ?");
    }

    Transaction tx(db);
    QSqlQuery insert(db.handle());
    const QString verb = byIndex ? QStringLiteral("INSERT OR IGNORE INTO ") : QStringLiteral("INSERT INTO ");
    if (!insert.prepare(verb + table + QStringLiteral(" (") + cols + QStringLiteral(") VALUES (") + marks + u')'))
        throwSqlError(insert.lastError());
    QSqlQuery lookup(db.handle());
    if (!byIndex) {
        lookup.setForwardOnly(true);
        if (!lookup.prepare(QStringLiteral("SELECT 1 FROM ") + table + QStringLiteral(" WHERE DateTimeKey = ? LIMIT 1")))
            throwSqlError(lookup.lastError());
    }

    const qint64 total = qint64(rows.size());
    size_t i = 0;
    // The append is one unit of the log (a failure repeated on many lines is written once).
    const LogBulkScope logScope(QStringLiteral("import"), [&] {
        return i < rows.size() ? QStringLiteral("line %1").arg(rows[i].line) : QString();
    });
    for (; i < rows.size(); ++i) {
        if (progress && i % 2048 == 0 && !progress(qint64(i), total)) {
            out = Outcome{};
            out.cancelled = true;
            return out;   // the transaction rolls back: nothing stored
        }
        if (i >= selected.size() || !selected[i]) continue;
        const QString why = refusalOf(rows[i], layout, target);
        const auto reading = why.isEmpty() ? readingFromRow(rows[i], layout, target) : std::nullopt;
        if (!reading) {
            out.refused.push_back({rows[i].line, why.isEmpty() ? QStringLiteral("the line cannot be read") : why});
            continue;
        }
        if (!byIndex) {
            lookup.addBindValue(reading->key);
            if (!lookup.exec()) throwSqlError(lookup.lastError());
            const bool exists = lookup.next();
            lookup.finish();
            if (exists) {
                out.duplicates << reading->key;
                continue;
            }
        }
        insert.addBindValue(reading->key);
        insert.addBindValue(reading->readingDate);
        insert.addBindValue(reading->readingTime);
        insert.addBindValue(reading->fullDate);
        if (target.tempChannel) insert.addBindValue(reading->channelT);
        for (const QString& c : reading->channels) insert.addBindValue(c);
        if (!insert.exec()) throwSqlError(insert.lastError());
        if (insert.numRowsAffected() == 0) out.duplicates << reading->key;
        else ++out.appended;
    }
    if (progress && !progress(total, total)) {
        out = Outcome{};
        out.cancelled = true;
        return out;
    }
    tx.commit();
    return out;
}

QString duplicatesMessage(const QStringList& keys)
{
    if (keys.isEmpty()) return QString();
    if (keys.size() == 1) return keys[0] + QStringLiteral(" is a duplicate reading and cannot be appended.");
    constexpr int shown = 5;
    QString text = QString::number(keys.size()) + QStringLiteral(" readings are duplicates and cannot be appended:");
    for (int i = 0; i < keys.size() && i < shown; ++i) text += QStringLiteral("\r\n") + keys[i];
    if (keys.size() > shown) text += QStringLiteral("\r\n... and %1 more").arg(keys.size() - shown);
    return text;
}

QString archiveCopy(const QString& dataFolder, const QString& source, const QString& sensorId, const QDate& day)
{
    QDir folder(dataFolder);
    if (!folder.mkpath(ArchiveFolderName))
        fileError(ErrNo::PermissionDenied, QStringLiteral("Permission denied"), folder.filePath(ArchiveFolderName));
    folder.cd(ArchiveFolderName);
    const QString stem = QStringLiteral("TW") + sensorId + u'_' + day.toString(QStringLiteral("yyyy-MM-dd"));
    QString target = folder.filePath(stem + QStringLiteral(".txt"));
    for (int n = 2; QFile::exists(target); ++n) target = folder.filePath(stem + QStringLiteral("_%1.txt").arg(n));
    if (!QFile::copy(source, target)) fileError(ErrNo::PermissionDenied, QStringLiteral("Permission denied"), target);
    return target;
}

}  // namespace WrenImport
