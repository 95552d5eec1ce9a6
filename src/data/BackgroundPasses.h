#pragma once
#include "data/PassRecord.h"
#include "data/Passes.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QThread;
class QTimer;

// Calculation passes that store the computed columns after a chart has been drawn from
// values it computed itself (data/PassValues.h), off the window's thread on a connection
// of their own, one at a time, so never two for one sensor at once.
//
// The window comes first: when any connection of the program has to wait for a lock (the
// user saving a reading while a pass writes), the running pass steps aside: it is rolled
// back whole (the readings keep their marks) and runs again a little later, from what is
// then stored, so a save made meanwhile is what the pass computes from.
class BackgroundPasses : public QObject {
public:
    struct Request {
        QString target;    // the database file or server URI
        QString password;  // for a server that needs one
        Calc::SensorInputs in;
        Calc::PassKind kind = Calc::PassKind::Load;
    };

    explicit BackgroundPasses(QObject* parent = nullptr);
    // Stops a running pass (rolled back; its marks stay for the next one).
    ~BackgroundPasses() override;

    // Queues a pass; one queued for the same sensor and kind is replaced (the newer inputs
    // are the ones the user left).
    void start(const Request& request);
    bool busy() const;
    // How many passes were queued since this object was made.
    int queued() const { return m_queued; }
    // Makes the running pass step aside now and waits for it to be rolled back; it runs
    // again later. For the window's own pass over the same readings.
    void stepAside();
    // Lets every queued pass run to its end now. progress is called now and then with the
    // readings done and to do of the running pass; answering false stops it (rolled back,
    // its marks stay) and drops the rest. True when all were stored.
    bool finish(const std::function<bool(qint64 done, qint64 total)>& progress);

    // A pass that stored its values. Where the database file can tell (store/CommitCounter.h),
    // from and to are its commit counts when the pass took its snapshot and after it
    // committed, the pass's commit the only one in between: what the readings held at from
    // they hold at to, with the pass's computed values stored.
    struct Stored {
        Request request;
        std::optional<quint32> from;
        std::optional<quint32> to;
    };
    // Called on this object's thread after each pass that stored its values.
    std::function<void(const Stored&)> stored;

    // How long a pass that stepped aside waits before it runs again.
    static constexpr int RetryMs = 2000;

private:
    struct Run;
    void launch();
    void ended();

    std::deque<Request> m_queue;
    QThread* m_thread = nullptr;
    std::shared_ptr<Run> m_run;
    QTimer* m_retry = nullptr;
    int m_listener = 0;
    // Set by any connection's wait for a lock: the running pass steps aside.
    std::shared_ptr<std::atomic<bool>> m_stepAside = std::make_shared<std::atomic<bool>>(false);
    bool m_finishing = false;
    int m_queued = 0;
};
