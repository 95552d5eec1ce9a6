#pragma once
#include <QString>
#include <exception>

// The program's one error type: a number a reader of the log understands and a
// description. Procedures throw it; the error trap (core/ErrorTrap.h) catches it
// and writes "Err #<number>: <description><tag>" to the log.
struct TwError : std::exception {
    int number = 0;
    QString description;
    TwError(int n, QString d) : number(n), description(std::move(d)) {}
    const char* what() const noexcept override { return "TwError"; }
};

// Error numbers used across the program.
namespace ErrNo {
constexpr int Overflow = 6;
constexpr int DivisionByZero = 11;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int PermissionDenied = 70;
constexpr int InvalidUseOfNull = 94;
constexpr int NoCurrentRecord = 3021;
constexpr int ItemNotFound = 3265;
constexpr int DatabaseError = 3001;   // used when the engine gives no code of its own
}
