#include "support/FaultyDisk.h"

#include <QMutex>
#include <QThread>
#include <atomic>
#include <cstring>
#include <sqlite3.h>

namespace FaultyDisk {

namespace {

struct State {
    QMutex mutex;
    bool armed = false;
    QByteArray ending;
    qint64 budget = 0;
    Failure failure = Failure::DiskFull;
    int refusals = 0;
};
State& state()
{
    static State s;
    return s;
}

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

// Our file: the matching flag, then the real file's own structure.
struct File {
    sqlite3_file base;
    const char* name;  // valid until the file is closed
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

File* self(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

// Whether this write (or sync, bytes 0) is refused.
bool refuse(File* f, qint64 bytes)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    if (!s.armed || !f->name || !QByteArray(f->name).endsWith(s.ending)) return false;
    if (bytes == 0) {
        if (s.failure != Failure::SyncError) return false;  // syncs fail only for SyncError
        ++s.refusals;
        return true;
    }
    if (s.failure == Failure::SyncError || s.failure == Failure::Slow) return false;
    if (s.budget >= bytes) {
        s.budget -= bytes;
        return false;
    }
    s.budget = 0;
    ++s.refusals;
    return true;
}

int xClose(sqlite3_file* f)
{
    File* p = self(f);
    const int rc = p->real()->pMethods ? p->real()->pMethods->xClose(p->real()) : SQLITE_OK;
    return rc;
}
bool slow(File* f);
int xRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off)
{
    if (slow(self(f))) QThread::usleep(1000);
    return self(f)->real()->pMethods->xRead(self(f)->real(), buf, n, off);
}
// A slow disk: every read or write of a matching file waits a millisecond.
bool slow(File* f)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    // Temporary files have no name: they are slow when every file is.
    return s.armed && s.failure == Failure::Slow &&
           (f->name ? QByteArray(f->name).endsWith(s.ending) : s.ending.isEmpty());
}

int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off)
{
    File* p = self(f);
    if (slow(p)) QThread::usleep(1000);
    if (refuse(p, n)) return state().failure == Failure::DiskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    return p->real()->pMethods->xWrite(p->real(), buf, n, off);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    return self(f)->real()->pMethods->xTruncate(self(f)->real(), size);
}
int xSync(sqlite3_file* f, int flags)
{
    File* p = self(f);
    if (refuse(p, 0)) return SQLITE_IOERR_FSYNC;
    return p->real()->pMethods->xSync(p->real(), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size)
{
    return self(f)->real()->pMethods->xFileSize(self(f)->real(), size);
}
int xLock(sqlite3_file* f, int l) { return self(f)->real()->pMethods->xLock(self(f)->real(), l); }
int xUnlock(sqlite3_file* f, int l) { return self(f)->real()->pMethods->xUnlock(self(f)->real(), l); }
int xCheckReservedLock(sqlite3_file* f, int* out)
{
    return self(f)->real()->pMethods->xCheckReservedLock(self(f)->real(), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg)
{
    return self(f)->real()->pMethods->xFileControl(self(f)->real(), op, arg);
}
int xSectorSize(sqlite3_file* f) { return self(f)->real()->pMethods->xSectorSize(self(f)->real()); }
int xDeviceCharacteristics(sqlite3_file* f)
{
    return self(f)->real()->pMethods->xDeviceCharacteristics(self(f)->real());
}
int xShmMap(sqlite3_file* f, int pg, int sz, int ext, void volatile** pp)
{
    return self(f)->real()->pMethods->xShmMap(self(f)->real(), pg, sz, ext, pp);
}
int xShmLock(sqlite3_file* f, int off, int n, int flags)
{
    return self(f)->real()->pMethods->xShmLock(self(f)->real(), off, n, flags);
}
void xShmBarrier(sqlite3_file* f) { self(f)->real()->pMethods->xShmBarrier(self(f)->real()); }
int xShmUnmap(sqlite3_file* f, int del) { return self(f)->real()->pMethods->xShmUnmap(self(f)->real(), del); }
int xFetch(sqlite3_file* f, sqlite3_int64 off, int n, void** pp)
{
    return self(f)->real()->pMethods->xFetch(self(f)->real(), off, n, pp);
}
int xUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p)
{
    return self(f)->real()->pMethods->xUnfetch(self(f)->real(), off, p);
}

// One method table per version of the real file's table.
const sqlite3_io_methods* methodsFor(const sqlite3_io_methods* real)
{
    static sqlite3_io_methods tables[4];
    static std::atomic<bool> made{false};
    if (!made.exchange(true)) {
        for (int v = 1; v <= 3; ++v) {
            sqlite3_io_methods& m = tables[v];
            m = sqlite3_io_methods{};
            m.iVersion = v;
            m.xClose = xClose;
            m.xRead = xRead;
            m.xWrite = xWrite;
            m.xTruncate = xTruncate;
            m.xSync = xSync;
            m.xFileSize = xFileSize;
            m.xLock = xLock;
            m.xUnlock = xUnlock;
            m.xCheckReservedLock = xCheckReservedLock;
            m.xFileControl = xFileControl;
            m.xSectorSize = xSectorSize;
            m.xDeviceCharacteristics = xDeviceCharacteristics;
            if (v >= 2) {
                m.xShmMap = xShmMap;
                m.xShmLock = xShmLock;
                m.xShmBarrier = xShmBarrier;
                m.xShmUnmap = xShmUnmap;
            }
            if (v >= 3) {
                m.xFetch = xFetch;
                m.xUnfetch = xUnfetch;
            }
        }
    }
    const int v = real && real->iVersion >= 1 ? std::min(real->iVersion, 3) : 1;
    return &tables[v];
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    File* p = self(f);
    p->base.pMethods = nullptr;
    std::memset(p->real(), 0, size_t(g_real->szOsFile));
    const int rc = g_real->xOpen(g_real, name, p->real(), flags, outFlags);
    if (p->real()->pMethods == nullptr) return rc;  // nothing to close
    p->name = name;
    p->base.pMethods = methodsFor(p->real()->pMethods);
    return rc;
}

int xDelete(sqlite3_vfs*, const char* name, int sync) { return g_real->xDelete(g_real, name, sync); }
int xAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return g_real->xAccess(g_real, name, flags, out); }
int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out)
{
    return g_real->xFullPathname(g_real, name, n, out);
}
void* xDlOpen(sqlite3_vfs*, const char* name) { return g_real->xDlOpen(g_real, name); }
void xDlError(sqlite3_vfs*, int n, char* msg) { g_real->xDlError(g_real, n, msg); }
void (*xDlSym(sqlite3_vfs*, void* h, const char* sym))(void) { return g_real->xDlSym(g_real, h, sym); }
void xDlClose(sqlite3_vfs*, void* h) { g_real->xDlClose(g_real, h); }
int xRandomness(sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); }
int xSleep(sqlite3_vfs*, int us) { return g_real->xSleep(g_real, us); }
int xCurrentTime(sqlite3_vfs*, double* t) { return g_real->xCurrentTime(g_real, t); }
int xGetLastError(sqlite3_vfs*, int n, char* out)
{
    return g_real->xGetLastError ? g_real->xGetLastError(g_real, n, out) : 0;
}
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* t) { return g_real->xCurrentTimeInt64(g_real, t); }

}  // namespace

void install()
{
    if (g_real) return;
    sqlite3_initialize();
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = sqlite3_vfs{};
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "tarnwell-faulty-disk";
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    g_vfs.xDlOpen = xDlOpen;
    g_vfs.xDlError = xDlError;
    g_vfs.xDlSym = xDlSym;
    g_vfs.xDlClose = xDlClose;
    g_vfs.xRandomness = xRandomness;
    g_vfs.xSleep = xSleep;
    g_vfs.xCurrentTime = xCurrentTime;
    g_vfs.xGetLastError = xGetLastError;
    g_vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 1);
}

void arm(const Fault& fault)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    s.armed = true;
    s.ending = fault.fileEnding.toUtf8();
    s.budget = fault.failAfterBytes;
    s.failure = fault.failure;
    s.refusals = 0;
}

void disarm()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    s.armed = false;
}

int refusals()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    return s.refusals;
}

}  // namespace FaultyDisk
