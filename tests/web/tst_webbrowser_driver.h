#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A headless chromium driven over WebDriver (chromedriver on 127.0.0.1), for the browser
// tests of the web view. Every call waits a bounded time; a failure is kept in error() and
// answered with an empty value, so the test can say what went wrong.
class BrowserDriver {
public:
    // The programs, found on the PATH; empty when missing.
    static QString chromium();
    static QString chromedriver();

    BrowserDriver();
    ~BrowserDriver();
    // Starts chromedriver and a browser session at the window size given; false on failure.
    bool start(int width = 1280, int height = 900);
    QString error() const { return m_error; }

    bool open(const QString& url);
    QString currentUrl();
    // Runs a script in the page (its body: "return ...;"), with arguments.
    QJsonValue run(const QString& script, const QJsonArray& args = {});
    // Waits (at most timeoutMs) until the script returns true.
    bool waitFor(const QString& script, int timeoutMs = 15000);
    // The first element matching the CSS selector (its WebDriver id), empty when none.
    QString find(const QString& css);
    bool type(const QString& css, const QString& text);
    bool click(const QString& css);

private:
    QJsonValue command(const QByteArray& method, const QString& path, const QJsonObject& body = {});

    QNetworkAccessManager m_net;
    // The browser's profile and scratch folders (TMPDIR of chromedriver and chromium), removed
    // with the driver: chromium leaves a folder in the temporary directory per session.
    QTemporaryDir m_scratch;
    QProcess m_driver;
    QString m_base;     // http://127.0.0.1:PORT
    QString m_session;  // the WebDriver session id
    QString m_error;
};
