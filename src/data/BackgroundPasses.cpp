#include "data/BackgroundPasses.h"
#include "core/ErrorLog.h"
#include "session/Shared.h"
#include "store/CommitCounter.h"
#include "store/Database.h"
#include "store/LockWait.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <utility>

// What the window and the pass's thread share about one run.
struct BackgroundPasses::Run {
    BackgroundPasses::Request request;
    std::shared_ptr<std::atomic<bool>> stepAside;  // another connection waited for a lock
    std::atomic<bool> stop{false};                 // the user stopped it
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    Calc::PassResult result;
    std::optional<quint32> from;  // the file's commit count in the pass's snapshot
    std::optional<quint32> to;    // and after its commit, when nothing else committed between
};

BackgroundPasses::BackgroundPasses(QObject* parent) : QObject(parent)
{
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, [this] { launch(); });
    m_listener = LockWait::addListener([flag = m_stepAside] { *flag = true; });
}

BackgroundPasses::~BackgroundPasses()
{
    LockWait::removeListener(m_listener);
    m_queue.clear();
    if (m_run) m_run->stop = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void BackgroundPasses::start(const Request& request)
{
    ++m_queued;
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
        if (it->in.id == request.in.id && it->kind == request.kind) {
            *it = request;
            return;
        }
    m_queue.push_back(request);
    if (!m_thread && !m_retry->isActive()) launch();
}

bool BackgroundPasses::busy() const { return m_thread || !m_queue.empty(); }

void BackgroundPasses::launch()
{
    if (m_thread || m_queue.empty()) return;
    m_retry->stop();
    auto run = std::make_shared<Run>();
    run->request = m_queue.front();
    m_queue.pop_front();
    *m_stepAside = false;
    run->stepAside = m_stepAside;
    m_run = run;
    static QAtomicInteger<int> runs;
    const QString name = QStringLiteral("tarnwell-pass-%1").arg(runs.fetchAndAddRelaxed(1));
    m_thread = QThread::create([name, run] {
        Shared s;
        s.databasePath = run->request.target;
        if (!s.db.open(run->request.target, run->request.password)) {
            WriteLog(QStringLiteral("The calculated readings were not stored: ") +
                     Database::describe(s.db.openFailure()));
            return;
        }
        Calc::SensorInputs in = run->request.in;
        in.progress = [run](qint64 done, qint64 total) {
            run->done = done;
            run->total = total;
            return !*run->stepAside && !run->stop;
        };
        in.snapshotTaken = [&s, run] {
            if (s.db.isServer()) return;  // (a server keeps no such count)
            // A read holds the snapshot: no other connection commits until this pass ends.
            s.db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
            run->from = CommitCounter::read(s.db);
        };
        const qint64 changedBefore = CommitCounter::rowsChanged(s.db);
        run->result = Calc::runPassOf(s, in, run->request.kind);
        if (run->result.completed && run->from) {
            // One commit more when the pass wrote, none when it did not; any other count
            // means another connection committed after it.
            const quint32 ownCommits = CommitCounter::rowsChanged(s.db) > changedBefore ? 1 : 0;
            const std::optional<quint32> now = CommitCounter::read(s.db);
            if (now && *now == *run->from + ownCommits) run->to = now;
        }
    });
    connect(m_thread, &QThread::finished, this, &BackgroundPasses::ended, Qt::QueuedConnection);
    m_thread->start();
}

void BackgroundPasses::ended()
{
    if (!m_thread || !m_thread->isFinished()) return;
    delete m_thread;
    m_thread = nullptr;
    const std::shared_ptr<Run> run = std::exchange(m_run, nullptr);
    if (!run) return;
    if (run->stop) {
        m_queue.clear();
        return;
    }
    // A pass that stepped aside, or failed waiting for a lock the window held.
    if (run->result.cancelled || (!run->result.completed && *run->stepAside)) {
        // Stepped aside for the window: again later, unless a newer request took its place.
        bool newer = false;
        for (const Request& r : m_queue)
            if (r.in.id == run->request.in.id && r.kind == run->request.kind) newer = true;
        if (!newer) m_queue.push_front(run->request);
        if (m_finishing) launch();
        else m_retry->start();
        return;
    }
    if (run->result.completed && stored) stored(Stored{run->request, run->from, run->to});
    if (!m_retry->isActive()) launch();
}

void BackgroundPasses::stepAside()
{
    if (!m_thread || !m_run) return;
    *m_stepAside = true;
    m_thread->wait();
    ended();
}

bool BackgroundPasses::finish(const std::function<bool(qint64 done, qint64 total)>& progress)
{
    m_finishing = true;
    m_retry->stop();
    launch();
    bool all = true;
    while (m_thread) {
        // The progress may let the finished thread's own end run (ended()), which lets go
        // of it: no wait on a thread that is gone.
        while (m_thread && !m_thread->wait(50)) {
            if (progress && m_run && !progress(m_run->done, m_run->total)) {
                m_run->stop = true;
                all = false;
            }
        }
        ended();
        if (!m_thread && !m_queue.empty()) launch();
    }
    m_finishing = false;
    return all;
}
