#include "setup/Installer.h"
#include "core/Paths.h"
#include "core/TwError.h"
#include "database/DatabaseFiles.h"
#include "setup/DemoData.h"
#include "store/Database.h"
#include "store/DatabaseCopy.h"
#include "store/ServerDriver.h"
#include "store/Migrations.h"
#include "store/Schema.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>

namespace Installer {

bool createDatabase(const QString& path, QString* error)
{
    if (QFile::exists(path)) {
        if (error) *error = QStringLiteral("a file already exists at ") + path;
        return false;
    }
    // Build into a temporary name, then move into place: a failed set-up never leaves a
    // half-made database where the program would open it.
    const QString temp = path + QStringLiteral(".creating");
    QFile::remove(temp);
    bool ok = false;
    {
        Database db(QStringLiteral("tarnwell-setup"));
        if (!db.create(temp)) {
            if (error) *error = QStringLiteral("cannot create ") + temp;
            return false;
        }
        try {
            Transaction tx(db);
            Schema::createFixedTables(db);
            // A new database starts with every layout step of this release applied.
            const Migrations::Result up = Migrations::upgrade(db, {});
            if (up.outcome == Migrations::Outcome::Failed || up.outcome == Migrations::Outcome::Newer)
                throw TwError(ErrNo::DatabaseError, up.detail);
            tx.commit();
            ok = true;
        } catch (const TwError& e) {
            if (error) *error = e.description;
        }
        db.close();
    }
    if (!ok || !QFile::rename(temp, path)) {
        QFile::remove(temp);
        if (ok && error) *error = QStringLiteral("cannot move the new database into place");
        return false;
    }
    return true;
}

namespace {
// Every picture of the manual drawn 16 cm wide (its own pixels kept, so it prints sharp).
void fitPictures(QTextDocument& doc)
{
    constexpr qreal Width = 605;  // pixels of 1/96 inch: 16 cm
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            QTextImageFormat img = f.charFormat().toImageFormat();
            if (!img.isValid()) continue;
            const QImage picture(QStringLiteral(":/docs/") + img.name());
            if (picture.isNull() || picture.width() == 0) continue;
            doc.addResource(QTextDocument::ImageResource, QUrl(img.name()), picture);
            img.setWidth(Width);
            img.setHeight(Width * picture.height() / picture.width());
            QTextCursor c(&doc);
            c.setPosition(f.position());
            c.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(img);
        }
    }
}
}  // namespace

QString manualSource()
{
    QFile f(QStringLiteral(":/docs/TarnwellManual.md"));
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

bool writeManual(const QString& path, QString* error)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (error) *error = QStringLiteral("rendering the manual needs a graphical application object");
        return false;
    }
    const QString source = manualSource();
    if (source.isEmpty()) {
        if (error) *error = QStringLiteral("the manual's text is missing from the set-up tool");
        return false;
    }
    QTextDocument doc;
    QFont font = doc.defaultFont();
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setMarkdown(source);
    // The pictures are built in beside the text ("screenshots/..." under :/docs/).
    fitPictures(doc);
    doc.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Tarnwell HALYX User Manual"));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        pdf.setTitle(QStringLiteral("Tarnwell HALYX User Manual"));
        pdf.setCreator(QStringLiteral("tarnwell-setup"));
        doc.print(&pdf);
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(buffer.data()) != buffer.size() || !out.commit()) {
        if (error) *error = out.errorString();
        return false;
    }
    return true;
}

namespace {

// The database as a checked copy of a file the user chose.
bool copyDatabase(const QString& from, const QString& to, QStringList& lines)
{
    try {
        DatabaseFiles::restore(from, to);
        lines << QStringLiteral("Database: %1 (copied from %2)").arg(to, from);
        return true;
    } catch (const TwError& e) {
        lines << QStringLiteral("Cannot use %1 as the database: %2").arg(from, e.description);
        return false;
    }
}

}  // namespace

Result setUp(const Options& options)
{
    Result r;
    const QString dbPath = Paths::databasePath();
    if (!options.copyFrom.isEmpty() && !QFile::exists(dbPath)) {
        if (!QDir().mkpath(Paths::dataFolder())) {
            r.ok = false;
            r.lines << QStringLiteral("Cannot create the data folder %1").arg(Paths::dataFolder());
            return r;
        }
        r.ok = copyDatabase(options.copyFrom, dbPath, r.lines);
        if (!r.ok) return r;
    }
    const Result base = install();
    r.lines << base.lines;
    if (!base.ok) {
        r.ok = false;
        return r;
    }
    if (options.manual) {
        const QString manual = Paths::dataFolder() + QStringLiteral("/TarnwellManual.pdf");
        QString error;
        if (writeManual(manual, &error)) {
            r.lines << QStringLiteral("Manual: %1 (written)").arg(manual);
        } else {
            r.ok = false;
            r.lines << QStringLiteral("Cannot write the manual %1: %2").arg(manual, error);
            return r;
        }
    }
    if (options.demo) {
        Database db(QStringLiteral("tarnwell-setup-demo"));
        if (!db.open(dbPath)) {
            r.ok = false;
            r.lines << QStringLiteral("Cannot open the database to add the demo data");
            return r;
        }
        const DemoData::Result d = DemoData::install(
            db, Paths::dataFolder(), options.demoEnd.isValid() ? options.demoEnd : QDate::currentDate());
        r.lines << d.lines;
        r.ok = d.ok;
    }
    return r;
}

Result install()
{
    Result r;
    const QString folder = Paths::dataFolder();
    if (QDir(folder).exists()) {
        r.lines << QStringLiteral("Data folder: %1 (already there)").arg(folder);
    } else if (QDir().mkpath(folder)) {
        r.lines << QStringLiteral("Data folder: %1 (created)").arg(folder);
    } else {
        r.ok = false;
        r.lines << QStringLiteral("Cannot create the data folder %1").arg(folder);
        return r;
    }
    const QString dbPath = Paths::databasePath();
    if (QFile::exists(dbPath)) {
        r.lines << QStringLiteral("Database: %1 (already there, left unchanged)").arg(dbPath);
    } else {
        QString error;
        if (createDatabase(dbPath, &error)) {
            r.lines << QStringLiteral("Database: %1 (created with the sensor types and preferences)").arg(dbPath);
        } else {
            r.ok = false;
            r.lines << QStringLiteral("Cannot create the database %1: %2").arg(dbPath, error);
        }
    }
    return r;
}

namespace {

// Why a server could not be used, with its address as the user can read it (no password).
QString serverRefusal(const QString& uri, const Database& db)
{
    const QString shown = ServerAddresses::parse(uri).display;
    return QStringLiteral("Cannot use the database server %1: %2%3")
        .arg(shown.isEmpty() ? uri : shown, Database::describe(db.openFailure()),
             db.openFailureDetail().isEmpty() ? QString() : QStringLiteral(" (") + db.openFailureDetail() + ')');
}

}  // namespace

Result setUpServer(const QString& uri, const QString& password)
{
    Result r;
    Database db(QStringLiteral("tarnwell-setup-server"));
    if (!db.open(uri, password)) {
        r.ok = false;
        r.lines << serverRefusal(uri, db);
        return r;
    }
    try {
        if (!db.tableExists(QStringLiteral("Sensors"))) {
            Transaction tx(db);
            Schema::createFixedTables(db);
            const Migrations::Result up = Migrations::upgrade(db, {});
            if (up.outcome == Migrations::Outcome::Failed || up.outcome == Migrations::Outcome::Newer)
                throw TwError(ErrNo::DatabaseError, up.detail);
            tx.commit();
            r.lines << QStringLiteral("Database: %1 (created with the sensor types and preferences)").arg(db.path());
            return r;
        }
        const Migrations::Result up = Migrations::upgrade(db, {});
        // Tables made before changes were tracked get the trigger that tells other users'
        // windows of their changes.
        const int tracked = up.outcome == Migrations::Outcome::UpToDate || up.outcome == Migrations::Outcome::Upgraded
                                ? db.trackChanges()
                                : 0;
        switch (up.outcome) {
            case Migrations::Outcome::UpToDate:
                if (tracked > 0)
                    r.lines << QStringLiteral("Database: %1 (up to date; changes now tracked on %2 %3)")
                                   .arg(db.path())
                                   .arg(tracked)
                                   .arg(tracked == 1 ? QStringLiteral("table") : QStringLiteral("tables"));
                else
                    r.lines
                        << QStringLiteral("Database: %1 (already there and up to date, left unchanged)").arg(db.path());
                break;
            case Migrations::Outcome::Upgraded:
                r.lines << QStringLiteral("Database: %1 (%2)").arg(db.path(), Migrations::logLine(up));
                break;
            case Migrations::Outcome::Newer:
            case Migrations::Outcome::Failed:
                r.ok = false;
                r.lines << Migrations::refusalMessage(up, db.path());
                break;
        }
    } catch (const TwError& e) {
        r.ok = false;
        r.lines << QStringLiteral("Cannot set up the database on %1: %2").arg(db.path(), e.description);
    }
    return r;
}

Result copyToServer(const QString& uri, const QString& from, const QString& password)
{
    Result r;
    const QString path = from.isEmpty() ? Paths::databasePath() : from;
    Database source(QStringLiteral("tarnwell-setup-copy-from"));
    if (!source.open(path)) {
        r.ok = false;
        r.lines << QStringLiteral("Cannot read the database file %1: %2")
                       .arg(path, Database::describe(source.openFailure()));
        return r;
    }
    Database target(QStringLiteral("tarnwell-setup-copy-to"));
    if (!target.open(uri, password)) {
        r.ok = false;
        r.lines << serverRefusal(uri, target);
        return r;
    }
    const DatabaseCopy::Result c = DatabaseCopy::copy(source, target);
    r.ok = c.ok;
    r.lines << (c.ok ? QStringLiteral("Database: %1 copied to %2 (%3)").arg(path, target.path(), c.message)
                     : QStringLiteral("Nothing was copied to %1: %2").arg(target.path(), c.message));
    return r;
}

}  // namespace Installer
