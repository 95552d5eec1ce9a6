#include "tst_webbrowser_driver.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

namespace {
const int CommandTimeoutMs = 30000;
const char* const ElementKey = "element-6066-11e4-a52e-4f735466cecf";  // WebDriver's element reference

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}
}  // namespace

QString BrowserDriver::chromium()
{
    for (const char* name : {"chromium", "chromium-browser"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty()) return path;
    }
    return QString();
}

QString BrowserDriver::chromedriver() { return QStandardPaths::findExecutable(QStringLiteral("chromedriver")); }

BrowserDriver::BrowserDriver()
{
    m_driver.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), m_scratch.path());
    m_driver.setProcessEnvironment(env);
}

BrowserDriver::~BrowserDriver()
{
    if (!m_session.isEmpty()) command("DELETE", QStringLiteral("/session/") + m_session);
    if (m_driver.state() != QProcess::NotRunning) {
        m_driver.terminate();
        if (!m_driver.waitForFinished(5000)) m_driver.kill();
        m_driver.waitForFinished(5000);
    }
}

bool BrowserDriver::start(int width, int height)
{
    const int port = freePort();
    m_base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    m_driver.start(chromedriver(), {QStringLiteral("--port=%1").arg(port), QStringLiteral("--allowed-ips=127.0.0.1")});
    if (!m_driver.waitForStarted(10000)) {
        m_error = QStringLiteral("chromedriver does not start");
        return false;
    }
    // Ready once it answers its status.
    QDeadlineTimer ready(20000);
    while (!command("GET", QStringLiteral("/status")).toObject().value(QLatin1String("ready")).toBool()) {
        if (ready.hasExpired()) {
            m_error = QStringLiteral("chromedriver is not ready: ") + QString::fromUtf8(m_driver.readAll());
            return false;
        }
        QThread::msleep(200);
    }
    const QJsonArray args = {QStringLiteral("--headless"),
                             QStringLiteral("--no-sandbox"),
                             QStringLiteral("--disable-gpu"),
                             QStringLiteral("--disable-dev-shm-usage"),
                             QStringLiteral("--window-size=%1,%2").arg(width).arg(height),
                             QStringLiteral("--user-data-dir=") + m_scratch.filePath(QStringLiteral("profile"))};
    const QJsonObject caps{
        {"capabilities",
         QJsonObject{{"alwaysMatch",
                      QJsonObject{{"browserName", "chrome"},
                                  {"goog:chromeOptions", QJsonObject{{"binary", chromium()}, {"args", args}}}}}}}};
    const QJsonObject answer = command("POST", QStringLiteral("/session"), caps).toObject();
    m_session = answer.value(QLatin1String("sessionId")).toString();
    if (m_session.isEmpty()) {
        m_error = QStringLiteral("no browser session: ") + QString::fromUtf8(QJsonDocument(answer).toJson()) + m_error;
        return false;
    }
    m_error.clear();
    return true;
}

QJsonValue BrowserDriver::command(const QByteArray& method, const QString& path, const QJsonObject& body)
{
    QNetworkRequest request(QUrl(m_base + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(CommandTimeoutMs);
    const QByteArray payload = method == "POST" ? QJsonDocument(body).toJson(QJsonDocument::Compact) : QByteArray();
    QNetworkReply* reply = m_net.sendCustomRequest(request, method, payload);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(CommandTimeoutMs + 1000, &loop, &QEventLoop::quit);
    loop.exec();
    if (!reply->isFinished()) reply->abort();
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    // A new session answers with the id beside the value in some versions; keep both.
    if (path == QLatin1String("/session") && answer.value(QLatin1String("value")).isObject()) {
        const QJsonObject v = answer.value(QLatin1String("value")).toObject();
        if (v.contains(QLatin1String("error"))) m_error = v.value(QLatin1String("message")).toString();
        return v;
    }
    const QJsonValue value = answer.value(QLatin1String("value"));
    if (value.isObject() && value.toObject().contains(QLatin1String("error")))
        m_error = value.toObject().value(QLatin1String("error")).toString() + QStringLiteral(": ") +
                  value.toObject().value(QLatin1String("message")).toString();
    else if (reply->error() != QNetworkReply::NoError && answer.isEmpty()) m_error = reply->errorString();
    return value;
}

bool BrowserDriver::open(const QString& url)
{
    m_error.clear();
    command("POST", QStringLiteral("/session/%1/url").arg(m_session), {{"url", url}});
    return m_error.isEmpty();
}

QString BrowserDriver::currentUrl()
{
    return command("GET", QStringLiteral("/session/%1/url").arg(m_session)).toString();
}

QJsonValue BrowserDriver::run(const QString& script, const QJsonArray& args)
{
    return command("POST", QStringLiteral("/session/%1/execute/sync").arg(m_session),
                   {{"script", script}, {"args", args}});
}

bool BrowserDriver::waitFor(const QString& script, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (run(script).toBool()) return true;
        QThread::msleep(150);
    }
    return false;
}

QString BrowserDriver::find(const QString& css)
{
    const QJsonValue v = command("POST", QStringLiteral("/session/%1/element").arg(m_session),
                                 {{"using", "css selector"}, {"value", css}});
    return v.toObject().value(QLatin1String(ElementKey)).toString();
}

bool BrowserDriver::type(const QString& css, const QString& text)
{
    const QString id = find(css);
    if (id.isEmpty()) return false;
    m_error.clear();
    command("POST", QStringLiteral("/session/%1/element/%2/value").arg(m_session, id), {{"text", text}});
    return m_error.isEmpty();
}

bool BrowserDriver::click(const QString& css)
{
    const QString id = find(css);
    if (id.isEmpty()) return false;
    m_error.clear();
    command("POST", QStringLiteral("/session/%1/element/%2/click").arg(m_session, id));
    return m_error.isEmpty();
}
