#pragma once
#include <QString>
#include <exception>

// Faults of the database file itself, as opposed to a refused value or a missing row:
// trying again does not help until the cause is put right, so the user is told
// (maintenance/StorageFault.h).
enum class StorageKind {
    None,          // not a fault of the file
    ReadOnly,      // the file or its folder cannot be written
    Locked,        // another program holds the database
    Damaged,       // the file's structure is broken
    DiskFull,      // no room left on the disk
    NoPermission,  // the file cannot be opened at all
    DiskError,     // the disk failed to read or write
    ServerGone,    // the connection to the database server was lost
};

// The program's one error type: a number a reader of the log understands and a
// description. Procedures throw it; the error trap (core/ErrorTrap.h) catches it
// and writes "Err #<number>: <description><tag>" to the log.
struct TwError : std::exception {
    int number = 0;
    QString description;
    StorageKind storage = StorageKind::None;
    bool told = false;  // the user has been told already; the trap only logs it
    TwError(int n, QString d, StorageKind kind = StorageKind::None)
        : number(n),
          description(std::move(d)),
          storage(kind)
    {}
    bool isStorageFault() const { return storage != StorageKind::None; }
    const char* what() const noexcept override { return "TwError"; }
};

// Error numbers used across the program.
namespace ErrNo {
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int PermissionDenied = 70;
constexpr int InvalidUseOfNull = 94;
constexpr int NoCurrentRecord = 3021;
constexpr int RecordDeleted = 3167;   // the row was deleted by another user
constexpr int ChangedByOther = 3197;  // the row was changed by another user since it was read
constexpr int ItemNotFound = 3265;
constexpr int DatabaseError = 3001;  // used when the engine gives no code of its own
}  // namespace ErrNo
