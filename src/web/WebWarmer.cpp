#include "web/WebWarmer.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "web/WebContext.h"
#include "web/WebOverview.h"

WebWarmer::WebWarmer(WebContext& ctx) : m_ctx(ctx)
{
    if (!m_ctx.connections.isServer()) m_thread = std::thread([this] { run(); });
}

WebWarmer::~WebWarmer() { stop(); }

void WebWarmer::stop()
{
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void WebWarmer::run()
{
    QByteArray warmed;
    for (;;) {
        try {
            Database& db = m_ctx.connections.forThisThread(Credentials{});
            const QByteArray mark = m_ctx.cache.mark(db, QString(), {});
            if (!mark.isEmpty() && mark != warmed) {
                WebOverview::lines(db, m_ctx.cache, QString(), {}, WebOverview::nowKey());
                warmed = mark;
            }
        } catch (const TwError&) {
            // What cannot be read now is read by the request that asks for it (and told there).
        }
        std::unique_lock lock(m_lock);
        if (m_wake.wait_for(lock, Interval, [this] { return m_stopping; })) break;
    }
    m_ctx.connections.closeThisThread();
}
