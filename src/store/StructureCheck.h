#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

struct sqlite3;

// The engine's structural check (PRAGMA quick_check) of a database file, run on a
// connection of its own in a background thread, so that damage is found soon after
// start-up without delaying it. The check only reads.
//
// It steps aside for the program: whenever a statement of another connection has to wait
// for a lock (Database::setLockWaitNotice), a running check is interrupted, so a save
// never waits behind it; the check starts again once that connection has had a quiet
// moment. The outcome is delivered on the thread that started the check.
class StructureCheck : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        bool damaged = false;
        QStringList problems;     // the engine's findings, at most a few (empty when sound)
        qint64 milliseconds = 0;  // the check's own time (the last, uninterrupted run)
    };
    using Done = std::function<void(const Outcome&)>;

    explicit StructureCheck(QString path, Done done, QObject* parent = nullptr);
    ~StructureCheck() override;  // interrupts a running check and waits for its thread

    void start();
    bool running() const { return m_running; }
    int interruptions() const { return m_interruptions; }

    // After an interruption, the check starts again once no lock was waited for this long.
    static constexpr int QuietMs = 2000;

private:
    void runOnce();
    void finishRun(bool interrupted, const Outcome& outcome);
    void interrupt();

    QString m_path;
    Done m_done;
    std::thread m_thread;
    std::mutex m_handleMutex;
    sqlite3* m_handle = nullptr;  // the check's connection while it runs (guarded)
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopping{false};
    int m_interruptions = 0;
    class QTimer* m_retry = nullptr;
};
