#pragma once
#include <QString>
#include <memory>

class QTextStream;
class WebContext;
namespace httplib {
class Server;
}

// What tarnwell-web was started with.
struct WebOptions {
    QString database;  // a file's path or a server's postgresql:// URI
    QString address = QStringLiteral("127.0.0.1");
    int port = 8470;  // 0: any free port
    QString passwordFile;
    bool behindProxy = false;  // TLS ends at a reverse proxy: cookies are marked Secure
    int threads = 8;
};

// The HTTP server of the web view: owns the httplib server, what the handlers share and
// the routes. Every request runs on one of the server's threads.
class WebServer {
public:
    explicit WebServer(const WebOptions& options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Whether the server may start as asked: a file without a password file is shown on
    // the loopback address only; the database must open and be at this program's layout
    // (it is never upgraded here). Empty when it may; otherwise what to tell.
    QString checkStart();

    // Binds the address, writes "Listening on http://ADDRESS:PORT/" to out once it accepts
    // connections, and serves until stop(). Returns the exit status (2: the address cannot
    // be bound, told on err).
    int serve(QTextStream& out, QTextStream& err);
    // Ends serve() from any thread (a signal's watcher).
    void stop();

    httplib::Server& http();
    WebContext& context();

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};
