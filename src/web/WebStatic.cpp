#include "web/WebStatic.h"
#include "web/WebContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <httplib.h>

namespace WebStatic {

namespace {

// Plain file names only: letters, digits, dots, dashes and underscores, not starting with
// a dot.
bool isPlainName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,99}$"));
    return plain.match(name).hasMatch();
}

void answer(httplib::Response& res, const QByteArray& bytes, const QString& name)
{
    res.set_content(bytes.toStdString(), contentType(name));
    res.set_header("Cache-Control", "max-age=3600");
}

}  // namespace

QString dygraphsFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("TARNWELL_DYGRAPHS_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(TARNWELL_DYGRAPHS_DIR) : fromEnvironment;
}

const char* contentType(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("js")) return "text/javascript; charset=utf-8";
    if (suffix == QLatin1String("css")) return "text/css; charset=utf-8";
    if (suffix == QLatin1String("svg")) return "image/svg+xml";
    if (suffix == QLatin1String("png")) return "image/png";
    if (suffix == QLatin1String("ico")) return "image/x-icon";
    if (suffix == QLatin1String("map") || suffix == QLatin1String("json")) return "application/json";
    if (suffix == QLatin1String("html")) return "text/html; charset=utf-8";
    return "application/octet-stream";
}

QByteArray builtInFile(const QString& name)
{
    if (!isPlainName(name)) return QByteArray();
    QFile f(QStringLiteral(":/static/") + name);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

}  // namespace WebStatic

void addStaticRoutes(httplib::Server& http, WebContext&)
{
    http.Get(R"(/static/dygraphs/([^/]+))", [](const httplib::Request& req, httplib::Response& res) {
        const QString name = QString::fromStdString(req.matches[1]);
        if (!WebStatic::isPlainName(name)) {
            res.status = 404;
            return;
        }
        const QDir folder(WebStatic::dygraphsFolder());
        // Only a file listed in the folder is served (no link out of it followed by name).
        const QStringList files = folder.entryList(QDir::Files | QDir::Readable);
        if (!files.contains(name)) {
            res.status = 404;
            return;
        }
        QFile f(folder.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            res.status = 404;
            return;
        }
        WebStatic::answer(res, f.readAll(), name);
    });
    http.Get(R"(/static/([^/]+))", [](const httplib::Request& req, httplib::Response& res) {
        const QString name = QString::fromStdString(req.matches[1]);
        const QByteArray bytes = WebStatic::builtInFile(name);
        if (bytes.isNull()) {
            res.status = 404;
            return;
        }
        WebStatic::answer(res, bytes, name);
    });
}
