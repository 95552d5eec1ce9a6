#pragma once
#include "core/TwError.h"

#include <QString>
#include <functional>

// Faults of the database file itself (read-only, locked, damaged, disk full, disk
// errors). Each one the user causes by an action is told in plain words, once, with what
// was kept; none is ever reported as success.
//
// The error trap calls tell() for a fault nobody has told yet. The pages that hold typed
// values call askKeep() when a save of them fails, so the user decides whether they stay
// on screen (the action that needed the save stops) or are dropped. The main window
// installs both; without them nothing is shown (and typed values are dropped).
namespace StorageFault {

// "the database file or its folder is read-only", "another program is using the
// database", ... (lower case, no full stop: it follows "... could not be saved: ").
QString reason(StorageKind kind);
// What the user can do about it, as a sentence.
QString remedy(StorageKind kind);

// The same for one error: a lost server connection that could not be made again is said
// as such, with the server's reason.
QString reason(const TwError& error);
QString remedy(const TwError& error);
// How an error that met a server which cannot be reached again begins its description.
inline const QString NoReconnect = QStringLiteral("could not connect to the database server again: ");

using Teller = std::function<void(const TwError& error, const QString& tag)>;
using Asker = std::function<bool(const TwError& error, const QString& what)>;
void installTeller(Teller teller);  // empty removes it
void installAsker(Asker asker);

// Tells the user about a storage fault (nothing for other errors or one already told).
void tell(const TwError& error, const QString& tag);

// Asks whether what (for example "The reading on screen") stays on screen after its save
// failed; true: keep it and stop. Marks the error as told.
bool askKeep(TwError& error, const QString& what);

}  // namespace StorageFault
