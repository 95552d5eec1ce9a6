#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

class WebContext;

// Computes what the overview shows of every sensor ahead of the first browser, and again
// soon after the database changed, on a thread of its own, so that the overview answers
// from the cache. It runs at the requests' own priority: a request asking for a sensor it
// is computing waits for it. Only for a database file: on a server each person's answers
// are kept apart, and the program's own would serve nobody.
class WebWarmer {
public:
    static constexpr std::chrono::seconds Interval{5};

    explicit WebWarmer(WebContext& ctx);
    ~WebWarmer();  // stops the thread
    WebWarmer(const WebWarmer&) = delete;
    WebWarmer& operator=(const WebWarmer&) = delete;

    void stop();

private:
    void run();

    WebContext& m_ctx;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
