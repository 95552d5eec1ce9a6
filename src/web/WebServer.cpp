#include "web/WebServer.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "web/WebCommandLine.h"
#include "web/WebContext.h"
#include "web/WebJson.h"
#include "web/WebRoutes.h"
#include "web/WebStatic.h"
#include "web/WebWarmer.h"

#include <QTextStream>
#include <condition_variable>
#include <deque>
#include <httplib.h>
#include <thread>

namespace {

// The server's request threads. Like httplib's own pool, but a thread that waited a while
// for work closes its idle database connections (a connection is closed by the thread
// that opened it), and every thread closes its connections as it ends.
class WebWorkers : public httplib::TaskQueue {
public:
    WebWorkers(int count, WebConnections& connections) : m_connections(connections)
    {
        for (int i = 0; i < count; ++i) m_threads.emplace_back([this] { work(); });
    }

    void enqueue(std::function<void()> fn) override
    {
        {
            const std::lock_guard lock(m_lock);
            m_jobs.push_back(std::move(fn));
        }
        m_wake.notify_one();
    }

    void shutdown() override
    {
        {
            const std::lock_guard lock(m_lock);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads) t.join();
    }

private:
    static constexpr std::chrono::seconds Housekeeping{30};

    void work()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_lock);
                const bool woken =
                    m_wake.wait_for(lock, Housekeeping, [this] { return !m_jobs.empty() || m_stopping; });
                if (!woken) {
                    lock.unlock();
                    m_connections.closeIdle();
                    continue;
                }
                if (m_jobs.empty()) break;  // stopping, nothing left to do
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
            m_connections.closeIdle();
        }
        m_connections.closeThisThread();
    }

    WebConnections& m_connections;
    std::vector<std::thread> m_threads;
    std::deque<std::function<void()>> m_jobs;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

}  // namespace

struct WebServer::Parts {
    explicit Parts(const WebOptions& o) : context(o) {}
    WebContext context;
    httplib::Server http;
};

WebServer::WebServer(const WebOptions& options) : m(std::make_unique<Parts>(options))
{
    httplib::Server& http = m->http;
    WebContext& ctx = m->context;
    const int threads = options.threads;
    http.new_task_queue = [threads, &ctx] { return new WebWorkers(threads, ctx.connections); };
    // A browser keeps its connection open between requests; a short wait lets twenty of
    // them share the threads without one idle browser holding a thread for long.
    http.set_keep_alive_timeout(2);
    http.set_keep_alive_max_count(100);
    http.set_read_timeout(10);
    http.set_write_timeout(30);
    http.set_payload_max_length(size_t(1) << 20);
    http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        QString text = QStringLiteral("internal error");
        try {
            std::rethrow_exception(ep);
        } catch (const TwError& e) {
            text = e.description;
        } catch (const std::exception& e) {
            text = QString::fromUtf8(e.what());
        } catch (...) {}
        res.status = 500;
        res.set_content(jsonError(text).toStdString(), "application/json");
    });
    http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        // A handler that answered already set its own body; the rest get a short word.
        if (!res.body.empty()) return;
        const QString text = res.status == 404 ? QStringLiteral("not found") : QStringLiteral("request refused");
        if (req.path.rfind("/api/", 0) == 0) res.set_content(jsonError(text).toStdString(), "application/json");
        else res.set_content(text.toStdString() + "\n", "text/plain; charset=utf-8");
    });
    http.set_default_headers(
        {{"X-Content-Type-Options", "nosniff"}, {"Referrer-Policy", "same-origin"}, {"X-Frame-Options", "DENY"}});

    // LOGINS: the logins' check goes first (httplib's pre-routing handler), then their own
    // routes: addAuthRoutes(http, ctx) once the logins are in place.
    addStaticRoutes(http, ctx);
    addApiRoutes(http, ctx);
    // PAGES: the pages' routes, addPageRoutes(http, ctx), once the pages are in place.
}

WebServer::~WebServer() = default;

httplib::Server& WebServer::http() { return m->http; }
WebContext& WebServer::context() { return m->context; }

QString WebServer::checkStart()
{
    const WebOptions& o = m->context.options;
    const bool server = Database::isServerTarget(o.database);
    if (!server && o.passwordFile.isEmpty() && !WebCommandLine::isLoopback(o.address))
        return QStringLiteral(
                   "A database file is shown without logins on this machine's own address only (127.0.0.1); "
                   "give --password-file to answer on %1.")
            .arg(o.address);
    return WebConnections::checkTarget(o.database);
}

int WebServer::serve(QTextStream& out, QTextStream& err)
{
    const WebOptions& o = m->context.options;
    const std::string host = o.address.toStdString();
    int port = o.port;
    if (port == 0) port = m->http.bind_to_any_port(host);
    else if (!m->http.bind_to_port(host, port)) port = -1;
    if (port <= 0) {
        err << "tarnwell-web: cannot listen on " << o.address << ':' << o.port
            << " (the address is not this machine's, or the port is taken)\n";
        err.flush();
        return 2;
    }
    const bool v6 = WebCommandLine::isIPv6(o.address);
    out << "Listening on http://" << (v6 ? "[" + o.address + "]" : o.address) << ':' << port << "/\n";
    out.flush();
    WebWarmer warmer(m->context);
    m->http.listen_after_bind();
    return 0;
}

void WebServer::stop() { m->http.stop(); }
