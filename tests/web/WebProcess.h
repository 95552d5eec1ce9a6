#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

namespace httplib {
class Client;
}

// A real tarnwell-web started by a test on 127.0.0.1 and any free port, stopped (SIGTERM,
// then killed) when the object goes. Every request is bounded in time.
class WebProcess {
public:
    ~WebProcess();
    // Starts tarnwell-web with args (and --listen 127.0.0.1:0 unless args have --listen);
    // false when it did not print its address within the time given (output()).
    bool start(const QStringList& args);
    // Waits for the program to end by itself (a refused start); its exit code, -1 if not.
    int waitForExit();
    QString output() const;
    int port() const { return m_port; }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    httplib::Client& http();

private:
    QProcess m_process;
    QByteArray m_out;
    int m_port = 0;
    std::unique_ptr<httplib::Client> m_client;
};
