#include "store/StructureCheck.h"
#include "store/Database.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <sqlite3.h>

StructureCheck::StructureCheck(QString path, Done done, QObject* parent)
    : QObject(parent),
      m_path(std::move(path)),
      m_done(std::move(done))
{
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    m_retry->setInterval(QuietMs);
    connect(m_retry, &QTimer::timeout, this, &StructureCheck::start);
}

StructureCheck::~StructureCheck()
{
    m_stopping = true;
    Database::setLockWaitNotice({});
    interrupt();
    if (m_thread.joinable()) m_thread.join();
}

void StructureCheck::interrupt()
{
    std::lock_guard<std::mutex> lock(m_handleMutex);
    if (m_handle) sqlite3_interrupt(m_handle);
}

void StructureCheck::start()
{
    if (m_running || m_stopping) return;
    if (m_thread.joinable()) m_thread.join();
    m_running = true;
    // Another connection that has to wait for a lock makes the check step aside; a
    // wait while the check is pausing only moves its next start further away.
    QPointer<StructureCheck> self(this);
    Database::setLockWaitNotice([this, self] {
        interrupt();
        QMetaObject::invokeMethod(
            this,
            [self] {
                if (self && !self->m_running) self->m_retry->start();
            },
            Qt::QueuedConnection);
    });
    m_thread = std::thread([this] { runOnce(); });
}

void StructureCheck::runOnce()
{
    Outcome out;
    bool interrupted = false;
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        // Waits for a lock as briefly as the program's own connections, without making
        // itself step aside.
        sqlite3_busy_timeout(db, Database::BusyWaitMs);
        {
            std::lock_guard<std::mutex> lock(m_handleMutex);
            m_handle = db;
        }
        sqlite3_stmt* st = nullptr;
        int step = sqlite3_prepare_v2(db, "PRAGMA quick_check(20)", -1, &st, nullptr);
        if (step == SQLITE_OK) {
            while ((step = sqlite3_step(st)) == SQLITE_ROW) {
                const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                if (line != QLatin1String("ok")) out.problems << line;
            }
        }
        if (step == SQLITE_INTERRUPT || step == SQLITE_BUSY || step == SQLITE_LOCKED || m_stopping) {
            interrupted = true;
        } else if (step != SQLITE_DONE) {
            // The check itself could not read the file: that is damage too.
            const int code = sqlite3_errcode(db);
            if (storageKindOf(code) == StorageKind::Damaged || out.problems.isEmpty())
                out.problems << QString::fromUtf8(sqlite3_errmsg(db));
        }
        sqlite3_finalize(st);
        {
            std::lock_guard<std::mutex> lock(m_handleMutex);
            m_handle = nullptr;
        }
    } else {
        interrupted = m_stopping;
        if (!interrupted) out.problems << QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_close_v2(db);
    out.damaged = !out.problems.isEmpty();
    out.milliseconds = timer.elapsed();
    QMetaObject::invokeMethod(
        this, [this, interrupted, out] { finishRun(interrupted, out); }, Qt::QueuedConnection);
}

void StructureCheck::finishRun(bool interrupted, const Outcome& outcome)
{
    if (m_thread.joinable()) m_thread.join();
    m_running = false;
    if (m_stopping) return;
    if (interrupted) {
        ++m_interruptions;
        m_retry->start();
        return;
    }
    Database::setLockWaitNotice({});
    if (m_done) m_done(outcome);
}
