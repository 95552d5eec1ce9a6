#include "WebProcess.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <httplib.h>

WebProcess::~WebProcess()
{
    m_client.reset();
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool WebProcess::start(const QStringList& args)
{
    QStringList all = args;
    if (!all.contains(QStringLiteral("--listen"))) all << QStringLiteral("--listen") << QStringLiteral("127.0.0.1:0");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(TARNWELL_WEB_EXE), all);
    if (!m_process.waitForStarted(10000)) return false;
    static const QRegularExpression listening(QStringLiteral("Listening on http://127\\.0\\.0\\.1:(\\d+)/"));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        if (m_process.state() == QProcess::NotRunning) {
            m_out += m_process.readAll();
            return false;
        }
        m_process.waitForReadyRead(200);
        m_out += m_process.readAll();
        const auto m = listening.match(QString::fromUtf8(m_out));
        if (m.hasMatch()) {
            m_port = m.captured(1).toInt();
            return true;
        }
    }
    return false;
}

int WebProcess::waitForExit()
{
    if (!m_process.waitForFinished(30000) && m_process.state() != QProcess::NotRunning) return -1;
    m_out += m_process.readAll();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString WebProcess::output() const { return QString::fromUtf8(m_out); }

httplib::Client& WebProcess::http()
{
    if (!m_client) {
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
        m_client->set_connection_timeout(10);
        m_client->set_read_timeout(60);
        m_client->set_write_timeout(10);
    }
    return *m_client;
}
