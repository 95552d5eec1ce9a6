// tarnwell-web: the database's sensors, alarms and charts in a browser.
#include "core/ErrorLog.h"
#include "web/WebCommandLine.h"
#include "web/WebServer.h"

#include <QCoreApplication>
#include <QTextStream>
#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>

int main(int argc, char* argv[])
{
    // SIGINT and SIGTERM are taken by a thread of their own (below), so every thread the
    // program starts inherits them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a browser that went away is an error of the write, not an end

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwell-web"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    const WebCommandLine::Parsed parsed = WebCommandLine::parse(args);
    if (parsed.help) {
        out << WebCommandLine::usage();
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        err << "tarnwell-web: " << parsed.error << "\n\n" << WebCommandLine::usage();
        return 2;
    }
    if (parsed.hashPassword) {
        // LOGINS: the password file's hashing goes here once the logins are in place.
        err << "tarnwell-web: --hash-password is not available in this build\n";
        return 2;
    }

    WebServer server(parsed.options);
    const QString refusal = server.checkStart();
    if (!refusal.isEmpty()) {
        err << "tarnwell-web: " << refusal << '\n';
        return 2;
    }
    std::atomic<bool> signalled{false};
    std::thread watcher([&server, &signalled, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        signalled = true;
        server.stop();
    });
    const int rc = server.serve(out, err);
    // Wakes the watcher when serving ended on its own (the address could not be bound).
    if (!signalled) pthread_kill(watcher.native_handle(), SIGTERM);
    watcher.join();
    ErrorLog::writeIgnoredCounts();
    return rc;
}
