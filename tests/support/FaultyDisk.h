#pragma once
#include <QString>

// A disk that fails on demand, for proving that a failed write loses nothing where a real
// fault (a full or failing disk) cannot be made: an SQLite file system layer (VFS) that
// hands everything to the system's own and, while armed, refuses writes or syncs to the
// files whose names end with a given text once a budget of bytes has been written.
// install() makes it the engine's default, so every connection opened afterwards (the
// program's, Qt's, the file tools') goes through it; unarmed it changes nothing.
namespace FaultyDisk {

enum class Failure { DiskFull, WriteError, SyncError, Slow };

struct Fault {
    QString fileEnding;         // "TarnwellHALYX.mdb", "-journal", ... ("" matches every file)
    qint64 failAfterBytes = 0;  // bytes written to such files before writes fail
                                // (Slow: every read or write of them takes a millisecond, none fails)
    Failure failure = Failure::DiskFull;
};

void install();
void arm(const Fault& fault);
void disarm();
int refusals();  // writes or syncs refused since the last arm()

// Arms for the lifetime of the object.
struct Armed {
    explicit Armed(const Fault& fault) { arm(fault); }
    ~Armed() { disarm(); }
};

}  // namespace FaultyDisk
