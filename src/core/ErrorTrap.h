#pragma once
#include "core/ErrorLog.h"
#include "core/StorageFault.h"
#include "core/TwError.h"

#include <exception>
#include <utility>

// The error trap: runs a procedure; when it throws, the procedure stops there, one line
// "Err #<n>: <description><tag>" is logged and false is returned. No message is shown,
// except for a fault of the database file itself (StorageFault), which the user is told
// about once.
// Tags begin with a blank: " Form_Load", " G_savefields", " Module1_TableExists".
inline QString trapMessage(int number, const QString& description, const QString& tag)
{
    return QStringLiteral("Err #") + QString::number(number) + QStringLiteral(": ") + description + tag;
}

template <class F>
bool runTrapped(const QString& tag, F&& body)
{
    try {
        std::forward<F>(body)();
        return true;
    } catch (const TwError& e) {
        WriteLog(trapMessage(e.number, e.description, tag));
        StorageFault::tell(e, tag);
    } catch (const std::exception& e) {
        WriteLog(trapMessage(ErrNo::DatabaseError, QString::fromLocal8Bit(e.what()), tag));
    }
    return false;
}

// One step run with errors ignored: a failure of ours (TwError) skips the step and the
// caller goes on with the next one. It is not silent: the first failure at a place with a
// cause is logged, its repeats counted (ErrorLog::ignored). The place is the caller's line,
// taken by the default argument; a helper that runs steps for its caller passes the
// caller's place on. Anything else (std::bad_alloc, a broken invariant) is not ours to
// ignore and goes on up.
template <class F>
bool ignoringErrors(F&& step, CodePlace where = CodePlace::here())
{
    try {
        std::forward<F>(step)();
        return true;
    } catch (const TwError& e) {
        ErrorLog::ignored(e.number, e.description, where);
        return false;
    }
}
