#pragma once
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <functional>
#include <memory>

class Database;
struct sqlite3_stmt;

// One statement of the connection prepared once and run as often as needed: the fast path
// for work over every reading of a sensor (the calculation passes, the columns a chart
// draws, the spreadsheet export), where going through Qt SQL and a QVariant per value
// costs more than the database itself. On the file it runs through SQLite's own interface;
// on a server directly on the server's connection (translated into the server's dialect by
// its driver, see ServerDriver), values read as the server sends them.
//
// The SQL is SQLite's (not translated from the program's established texts), so callers
// keep to plain SELECT / UPDATE / INSERT / DELETE with "?" placeholders and quoted names.
// Placeholders are numbered from 1, result columns from 0.
//
// A statement belongs to its connection; when the connection closes first, the statement
// is let go and any further use fails. Failures throw TwError with the engine's code and
// message.
class Statement {
public:
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bindNull(int index);
    void bind(int index, double value);
    void bind(int index, qint64 value);
    void bind(int index, int value) { bind(index, qint64(value)); }
    void bind(int index, const QString& value);
    // UTF-8 text; the bytes are copied.
    void bindUtf8(int index, QByteArrayView value);
    // The same without the copy (a bulk write's texts): the bytes must stay as they are
    // until the statement has run, and every later run binds this index anew.
    void bindUtf8Unchanged(int index, QByteArrayView value);
    // Null, integer (and yes/no), double, bytes or text, as the value holds.
    void bind(int index, const QVariant& value);
    // A whole row from index first on: the texts as bindUtf8Unchanged (a null view: null),
    // then the numbers (NaN: null); one check for the lot, for a bulk write's rows.
    void bindRow(int first, const QByteArrayView* texts, int textCount, const double* numbers, int numberCount);

    // Steps a query to its next row: true while there is one. After the last row the
    // statement is reset, ready to run again (with the same bindings).
    bool next();
    // Runs a statement that returns no rows and resets it for the next run; returns the
    // rows it changed.
    qint64 run();
    // Ends the current run early and clears nothing (bindings stay).
    void reset();

    // Values of the current row.
    int columnCount() const;
    bool isNull(int column) const;
    qint64 integer(int column) const;
    // A REAL or INTEGER as a double; a text as the engine converts it (use text for texts).
    double number(int column) const;
    // Whether the value is stored as a number (REAL or INTEGER), not as text.
    bool isNumber(int column) const;
    // The value as UTF-8 bytes, valid until the next step; empty for null.
    QByteArrayView utf8(int column) const;
    QString text(int column) const;
    // The value as Qt's drivers give it: null, integer, double, text or bytes (on a server
    // also the server's small integers and yes/no as their own types).
    QVariant value(int column) const;

    // Lets the engine's statement go (the connection is closing).
    void release();

private:
    [[noreturn]] void fail(int rc) const;
    void requireLive() const;
    struct Server;

    Database& m_db;
    sqlite3_stmt* m_st = nullptr;
    std::unique_ptr<Server> m_server;
};

// A test on one text that the connection's SQL can call by name: "name(column)" is 1 where
// the test holds, 0 where it does not or the value is null. Set for the object's lifetime
// (afterwards such calls fail), for row-by-row tests SQL cannot express, so that one
// statement still does the whole work (a deletion that must read hand-written dates, for
// instance).
class TextTest {
public:
    TextTest(Database& db, const QByteArray& name, std::function<bool(QByteArrayView text)> test);
    ~TextTest();
    TextTest(const TextTest&) = delete;
    TextTest& operator=(const TextTest&) = delete;

private:
    Database& m_db;
    QByteArray m_name;
    quint64 m_generation = 0;
};
