#include "tools/LoggerImport.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <limits>

namespace LoggerImport {

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

}  // namespace

std::vector<bool> storedRows(Database& db, const QString& sensorId, const std::vector<qint64>& moments)
{
    std::vector<bool> out(moments.size(), false);
    qint64 lo = std::numeric_limits<qint64>::max(), hi = std::numeric_limits<qint64>::min();
    for (qint64 m : moments) {
        if (m == LoggerReadings::NoMoment) continue;
        lo = std::min(lo, m);
        hi = std::max(hi, m);
    }
    if (lo > hi) return out;
    // The keys stored within the file's span ("<sensor> yyyy/MM/dd HH:mm:ss" sorts in time
    // order), as moments, then every row looked up among them.
    const QString from = LoggerClock::display(lo), to = LoggerClock::display(hi);
    if (from.isEmpty() || to.isEmpty()) return out;
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT DateTimeKey FROM ") + SqlDialect::quoteName(sensorId) +
                   QStringLiteral(" WHERE DateTimeKey BETWEEN ? AND ?")))
        throwSqlError(q.lastError());
    q.addBindValue(sensorId + u' ' + from);
    q.addBindValue(sensorId + u' ' + to);
    if (!q.exec()) throwSqlError(q.lastError());
    std::vector<qint64> stored;
    const qsizetype skip = sensorId.size() + 1;
    while (q.next()) {
        const QByteArray key = q.value(0).toString().toLatin1();
        const QByteArrayView moment = QByteArrayView(key).sliced(std::min<qsizetype>(skip, key.size()));
        if (const auto m = LoggerClock::read(moment, LoggerClock::Layout::YearFirst)) stored.push_back(*m);
    }
    if (stored.empty()) return out;
    std::sort(stored.begin(), stored.end());
    for (size_t i = 0; i < moments.size(); ++i)
        if (moments[i] != LoggerReadings::NoMoment)
            out[i] = std::binary_search(stored.begin(), stored.end(), moments[i]);
    return out;
}

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

namespace {

// Writes "Schema.ini", copies the chosen file to "datafile.txt" and reads the copy's
// bytes; "Schema.ini" is deleted again however it ends. False when the path names no file.
bool copyAndRead(const QString& dataFolder, const QString& path, QByteArray& data, bool* tooLarge = nullptr)
{
    const QString schemaPath = QDir(dataFolder).filePath(SchemaFileName);
    SchemaGuard guard{schemaPath};
    const QString folderWords = QStringLiteral("The data folder cannot be written");
    {
        QFile::remove(schemaPath);
        QFile schema(schemaPath);
        if (!schema.open(QIODevice::WriteOnly | QIODevice::Append))
            fileError(ErrNo::PermissionDenied, folderWords + QStringLiteral(" (") + schema.errorString() + ')',
                      schemaPath);
        const QByteArray bytes = LoggerFile::schemaIniBytes();
        if (schema.write(bytes) != bytes.size())
            fileError(ErrNo::PermissionDenied, folderWords + QStringLiteral(" (") + schema.errorString() + ')',
                      schemaPath);
    }
    if (!FileExists(path)) return false;
    if (tooLarge && QFileInfo(path).size() > LoggerFormats::MaxFileBytes) {
        *tooLarge = true;
        return true;
    }
    // A chosen file that cannot be read, or is gone by the time it is read, is told as
    // such (not as a missing working copy).
    auto sourceError = [&](const QString& detail) {
        if (!FileExists(path))
            fileError(ErrNo::FileNotFound, QStringLiteral("The logger file is no longer there"), path);
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
            fileError(ErrNo::PermissionDenied,
                      QStringLiteral("The logger file could not be copied into the data folder"), copyPath);
        }
    }
    QFile copy(copyPath);
    if (!copy.open(QIODevice::ReadOnly)) sourceError(copy.errorString());
    data = copy.readAll();
    if (copy.error() != QFileDevice::NoError) sourceError(copy.errorString());
    return true;
}

}  // namespace

DataFile openDataFile(const QString& dataFolder, const QString& path, const LoggerFile::Progress& progress)
{
    DataFile out;
    QByteArray data;
    if (!copyAndRead(dataFolder, path, data)) return out;
    out.rows = LoggerFile::parse(data, progress, &out.cancelled);
    out.noDataFile = false;
    return out;
}

LoggerData openLoggerFile(const QString& dataFolder, const QString& path, const LoggerFile::Progress& progress)
{
    LoggerData out;
    QByteArray data;
    bool tooLarge = false;
    if (!copyAndRead(dataFolder, path, data, &tooLarge)) return out;
    out.noDataFile = false;
    if (tooLarge) {
        out.file.errorLine = 1;
        out.file.error = QStringLiteral("the file is larger than 2 GB");
        return out;
    }
    out.file = LoggerFormats::open(std::move(data), progress);
    return out;
}

Target targetFor(Database& db, const QString& sensorId)
{
    QSqlQuery q(db.handle());
    q.prepare(
        QStringLiteral("SELECT c.NumChannels, c.TempChannel, c.lowval, c.highval, c.templow, c.temphigh "
                       "FROM Sensors s JOIN Configuration c "
                       "ON c.SensorType = s.SensorType WHERE s.InstrumentID = ?"));
    q.addBindValue(sensorId);
    if (!q.exec()) throwSqlError(q.lastError());
    if (!q.next()) throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("No sensor type found for sensor ") + sensorId);
    Target t;
    t.sensorId = sensorId;
    t.gauges = std::clamp(q.value(0).toInt(), 0, 10);
    t.tempChannel = q.value(1).toInt() != 0;
    auto limit = [&](int i) { return q.value(i).isNull() ? qQNaN() : q.value(i).toDouble(); };
    t.low = limit(2);
    t.high = limit(3);
    t.tempLow = limit(4);
    t.tempHigh = limit(5);
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
            else {
                keep[k] = QChar(keep[k].unicode() + 1);
                break;
            }
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

std::optional<Reading> readingFromRow(const LoggerFile::Row& row, LoggerDates::Layout layout, const Target& target)
{
    if (row.broken) return std::nullopt;
    const auto stamp = LoggerDates::read(row.field(0), layout);
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

QString archiveCopy(const QString& dataFolder, const QString& source, const QString& sensorId, const QDate& day,
                    const QString& suffix)
{
    QDir folder(dataFolder);
    if (!folder.mkpath(ArchiveFolderName))
        fileError(ErrNo::PermissionDenied, QStringLiteral("Permission denied"), folder.filePath(ArchiveFolderName));
    folder.cd(ArchiveFolderName);
    const QString stem = QStringLiteral("TW") + sensorId + u'_' + day.toString(QStringLiteral("yyyy-MM-dd"));
    const QString ext = u'.' + (suffix.isEmpty() ? QStringLiteral("txt") : suffix);
    QString target = folder.filePath(stem + ext);
    for (int n = 2; QFile::exists(target); ++n) target = folder.filePath(stem + QStringLiteral("_%1").arg(n) + ext);
    if (!QFile::copy(source, target)) fileError(ErrNo::PermissionDenied, QStringLiteral("Permission denied"), target);
    return target;
}

}  // namespace LoggerImport
