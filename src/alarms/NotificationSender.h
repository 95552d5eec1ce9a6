#pragma once
#include <QObject>
#include <QString>
#include <memory>

class QThread;

// Sends the alarm notifications that are due (the outbox) off the window's thread, so a
// mail server that is slow or unreachable never freezes the window. Each run opens a
// connection of its own to the database (a connection belongs to the thread that opened
// it), queues the reminders due, claims the rows due in a transaction and sends them, and
// reports back with finished(). A run asked for while one is going follows it.
class NotificationSender : public QObject {
    Q_OBJECT
public:
    explicit NotificationSender(QObject* parent = nullptr);
    // Waits for a run going at most a few seconds; after that the run is left to end on its
    // own and what it has not sent stays in the outbox for the next run (its claim runs out).
    ~NotificationSender() override;

    // Starts a run on the database at path (a file or a server URI; password for a server
    // that needs one).
    void start(const QString& path, const QString& password);
    bool running() const { return m_thread != nullptr; }
    // Waits for the run going (and handles its end) at most ms; true when none is left.
    bool wait(int ms);

    static constexpr int CloseWaitMs = 3000;

signals:
    void started();
    // sent and failed: rows delivered and rows that failed this run; problems as logged.
    void finished(int sent, int failed, const QStringList& problems);

private:
    struct Result;
    void launch();
    void ended();

    QThread* m_thread = nullptr;
    std::shared_ptr<Result> m_result;
    QString m_path;
    QString m_password;
    bool m_again = false;
};
