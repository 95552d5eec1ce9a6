#include "core/TwError.h"
#include "store/SqlDialect.h"
#include "store/SqlTokens.h"

#include <QList>

// The translation of the program's statements into the database server's dialect. What it
// cannot translate exactly it refuses, naming the statement, rather than send the server
// something that means another thing.

using SqlTokens::Token;
using SqlTokens::Tokens;

namespace SqlDialect {

namespace {

[[noreturn]] void refuse(const QString& sql, const QString& why)
{
    throw TwError(
        ErrNo::DatabaseError,
        QStringLiteral("The statement cannot be sent to the database server as it stands (%1): %2").arg(why, sql));
}

QString serverName(const QString& name) { return '"' + name.toLower().replace('"', QStringLiteral("\"\"")) + '"'; }

// Text columns compare and sort byte by byte, as SQLite's do: the same order on both
// engines whatever the server's locale (and a sort of 100,000 dates costs a fraction of
// a locale-aware one).
const QString TextType = QStringLiteral("TEXT COLLATE \"C\"");

// Column types: SQLite keeps 64-bit integers and doubles; yes/no columns are small
// integers holding 0 and 1 (their type tells a reader that they are yes/no).
QString serverType(const QString& upper)
{
    if (upper == QLatin1String("TEXT")) return TextType;
    if (upper == QLatin1String("REAL")) return QStringLiteral("DOUBLE PRECISION");
    if (upper == QLatin1String("INTEGER")) return QStringLiteral("BIGINT");
    if (upper == QLatin1String("BOOLEAN")) return QStringLiteral("SMALLINT");
    return QString();
}

// Words of the program's SQL the server knows by another name.
QString serverWord(const Token& k, bool definition)
{
    // A table definition names no row identity: the server's tables get theirs apart.
    if (k.isWord("rowid") && !definition) return QString::fromLatin1(RowIdColumn);
    if (k.isWord("true")) return QStringLiteral("1");
    if (k.isWord("false")) return QStringLiteral("0");
    // SQLite compares texts in LIKE without regard to case.
    if (k.isWord("like")) return QStringLiteral("ILIKE");
    return QString();
}

// The words that end a column's type in its definition.
bool startsConstraint(const Token& k)
{
    for (const char* w : {"CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK", "DEFAULT", "COLLATE", "REFERENCES",
                          "GENERATED", "AS"})
        if (k.isWord(w)) return true;
    return false;
}

// The statement written token by token in the server's dialect.
class ServerText {
public:
    ServerText(const QString& sql, const Tokens& tokens, bool definition)
        : m_sql(sql),
          m_t(tokens),
          m_definition(definition)
    {
        m_out.reserve(sql.size() + 64);
    }

    const Token& at(int i) const { return m_t[i]; }
    int size() const { return int(m_t.size()); }
    int solid(int from) const { return SqlTokens::nextSolid(m_t, from); }
    bool wordAt(int i, const char* w) const { return i < size() && m_t[i].isWord(w); }
    bool symbolAt(int i, char c) const { return i < size() && m_t[i].isSymbol(c); }
    // The index of the bracket closing the one opened at open (size() when none).
    int closing(int open) const
    {
        int depth = 0;
        for (int i = open; i < size(); ++i) {
            if (m_t[i].isSymbol('(')) ++depth;
            else if (m_t[i].isSymbol(')') && --depth == 0) return i;
        }
        return size();
    }
    [[noreturn]] void refuse(const QString& why) const { SqlDialect::refuse(m_sql, why); }

    void write(const QString& text) { m_out += text; }
    void put(int from, int to)
    {
        for (int i = from; i < to; ++i) put(i);
    }
    void put(int i)
    {
        const Token& k = m_t[i];
        switch (k.kind) {
            case Token::Space:
                m_out += k.text;
                break;
            case Token::Comment:
                m_out += u' ';
                break;
            case Token::QuotedName:
                learnSpelling(k.value());
                m_out += serverName(k.value());
                break;
            case Token::Placeholder:
                // A numbered placeholder: the server numbers its own the same way.
                m_out += k.text.size() > 1 ? u'$' + k.text.mid(1) : k.text;
                break;
            case Token::Word:
                putWord(k);
                break;
            case Token::Symbol:
                putSymbol(k);
                break;
            case Token::String:
            case Token::Number:
                m_out += k.text;
                break;
        }
    }
    QString text() const { return m_out; }

private:
    void putWord(const Token& k)
    {
        // group_concat(x) -> string_agg(x::text, ','): the aggregate's depth is noted to
        // give it the separator SQLite uses when the call has none.
        if (k.isWord("group_concat")) {
            m_out += QStringLiteral("string_agg");
            m_aggregates.append({m_depth + 1, false});
            return;
        }
        const QString word = serverWord(k, m_definition);
        if (!word.isEmpty()) {
            m_out += word;
            return;
        }
        learnSpelling(k.text);
        m_out += k.text;
    }
    void putSymbol(const Token& k)
    {
        if (k.isSymbol('(')) ++m_depth;
        if (k.isSymbol(',') && !m_aggregates.isEmpty() && m_aggregates.last().depth == m_depth)
            m_aggregates.last().separated = true;
        if (k.isSymbol(')')) {
            if (!m_aggregates.isEmpty() && m_aggregates.last().depth == m_depth) {
                if (!m_aggregates.last().separated) m_out += QStringLiteral("::text, ','");
                m_aggregates.removeLast();
            }
            --m_depth;
        }
        m_out += k.text;
    }

    struct Aggregate {
        int depth;
        bool separated;
    };
    const QString& m_sql;
    const Tokens& m_t;
    const bool m_definition;
    QString m_out;
    int m_depth = 0;
    QList<Aggregate> m_aggregates;
};

// A column's definition, tokens from..to: its name, its type in the server's words, its
// constraints. A column without a type holds texts (as SQLite reads them back).
void putColumn(ServerText& w, int from, int to)
{
    const int name = w.solid(from);
    if (name >= to || !w.at(name).isName()) w.refuse(QStringLiteral("a column definition without a name"));
    w.put(from, name + 1);
    QStringList type;
    int i = w.solid(name + 1);
    int typeEnd = name + 1;
    while (i < to && w.at(i).kind == Token::Word && !startsConstraint(w.at(i))) {
        type << w.at(i).text.toUpper();
        typeEnd = i + 1;
        i = w.solid(i + 1);
    }
    if (type.isEmpty()) {
        if (i < to) w.refuse(QStringLiteral("a column without a type"));
        w.write(u' ' + TextType);
        w.put(name + 1, to);
        return;
    }
    if (w.symbolAt(i, '(')) w.refuse(QStringLiteral("a column type with a size"));
    const QString typeText = type.join(u' ');
    // SQLite's INTEGER PRIMARY KEY numbers the rows itself: an identity on the server.
    const bool numbered =
        typeText == QLatin1String("INTEGER") && w.wordAt(i, "PRIMARY") && w.wordAt(w.solid(i + 1), "KEY");
    const QString declared =
        numbered ? QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY") : serverType(typeText);
    if (declared.isEmpty()) w.refuse(QStringLiteral("the column type %1").arg(typeText));
    w.put(name + 1, w.solid(name + 1));
    w.write(declared);
    for (int k = typeEnd; k < to; ++k) {
        // The identity numbers the rows already.
        if (w.at(k).isWord("AUTOINCREMENT")) continue;
        w.put(k);
    }
}

// The columns and table constraints between the brackets open..close, each a definition
// of its own between commas.
void putDefinitions(ServerText& w, int open, int close)
{
    int from = open + 1;
    while (from < close) {
        int to = from;
        for (int depth = 0; to < close; ++to) {
            if (w.at(to).isSymbol('(')) ++depth;
            else if (w.at(to).isSymbol(')')) --depth;
            else if (depth == 0 && w.at(to).isSymbol(',')) break;
        }
        const int head = w.solid(from);
        const bool constraint = w.wordAt(head, "CONSTRAINT") || w.wordAt(head, "PRIMARY") || w.wordAt(head, "UNIQUE") ||
                                w.wordAt(head, "CHECK") || w.wordAt(head, "FOREIGN");
        if (constraint) w.put(from, to);
        else putColumn(w, from, to);
        if (to < close) w.put(to);  // the comma
        from = to + 1;
    }
}

// CREATE TABLE [IF NOT EXISTS] name (definitions): every table on the server gets its row
// identity first.
QString createTable(ServerText& w, int table)
{
    int name = w.solid(table + 1);
    if (w.wordAt(name, "IF")) name = w.solid(w.solid(w.solid(name + 1) + 1) + 1);  // IF NOT EXISTS name
    const int open = w.solid(name + 1);
    if (name >= w.size() || !w.at(name).isName() || !w.symbolAt(open, '('))
        w.refuse(QStringLiteral("a table made otherwise than from its column definitions"));
    const int close = w.closing(open);
    if (close >= w.size() || w.solid(close + 1) < w.size())
        w.refuse(QStringLiteral("a table definition with options after its columns"));
    w.put(0, open + 1);
    w.write(QString::fromLatin1(RowIdColumn) + QStringLiteral(" BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, "));
    putDefinitions(w, open, close);
    w.put(close, w.size());
    return w.text();
}

// An index that need not be unique ends with the row identity: a selection in the index's
// order and then the rows' (a recordset's ORDER BY) is read from the index alone, with no
// sort.
QString createIndex(ServerText& w, int index, bool unique)
{
    const int on = [&] {
        for (int i = index + 1; i < w.size(); ++i)
            if (w.at(i).isWord("ON")) return i;
        return w.size();
    }();
    const int open = w.solid(w.solid(on + 1) + 1);
    if (!w.symbolAt(open, '(')) w.refuse(QStringLiteral("an index without its column list"));
    const int close = w.closing(open);
    if (close >= w.size()) w.refuse(QStringLiteral("an index column list left open"));
    w.put(0, close);
    if (!unique) w.write(QStringLiteral(", ") + QString::fromLatin1(RowIdColumn));
    w.put(close, w.size());
    return w.text();
}

// ALTER TABLE name ADD [COLUMN] definition; other changes of a table (a constraint added,
// a name changed) keep their words.
QString alterTable(ServerText& w, int first)
{
    const int tableWord = w.solid(first + 1);
    const int add = w.solid(w.solid(tableWord + 1) + 1);
    if (!w.wordAt(tableWord, "TABLE") || !w.wordAt(add, "ADD")) {
        w.put(0, w.size());
        return w.text();
    }
    const int column = w.wordAt(w.solid(add + 1), "COLUMN") ? w.solid(add + 1) : add;
    if (w.wordAt(w.solid(column + 1), "CONSTRAINT")) {
        w.put(0, w.size());
        return w.text();
    }
    w.put(0, column + 1);
    putColumn(w, column + 1, w.size());
    return w.text();
}

// INSERT [OR IGNORE | OR REPLACE] INTO name (columns) ...: the conflict clause goes to the
// end. Every table on the server has its row identity first, so rows are only written
// to the columns they name.
QString insert(ServerText& w, int first)
{
    int into = w.solid(first + 1);
    int orFrom = -1, orTo = -1;
    const bool mode = w.wordAt(into, "OR");
    const int how = w.solid(into + 1);
    const bool replace = mode && w.wordAt(how, "REPLACE");
    if (mode) {
        if (!w.wordAt(how, "IGNORE") && !replace)
            w.refuse(QStringLiteral("a conflict resolution the server has no clause for"));
        orFrom = into;
        orTo = how;
        into = w.solid(how + 1);
    }
    const int table = w.solid(into + 1);
    if (!w.wordAt(into, "INTO") || table >= w.size() || !w.at(table).isName())
        w.refuse(QStringLiteral("rows written to no named table"));
    const int open = w.solid(table + 1);
    QStringList columns;
    if (w.symbolAt(open, '(')) {
        const int close = w.closing(open);
        for (int i = w.solid(open + 1); i < close; i = w.solid(i + 1)) {
            if (w.at(i).isName()) columns << w.at(i).value();
            else if (!w.at(i).isSymbol(',')) w.refuse(QStringLiteral("a column list of more than names"));
        }
        if (columns.isEmpty()) w.refuse(QStringLiteral("an empty column list"));
    } else if (!(w.wordAt(open, "DEFAULT") && w.wordAt(w.solid(open + 1), "VALUES")) || replace) {
        w.refuse(QStringLiteral("rows written without naming their columns"));
    }
    if (mode)
        for (int i = open; i < w.size(); ++i)
            if (w.at(i).isWord("RETURNING") || (w.at(i).isWord("ON") && w.wordAt(w.solid(i + 1), "CONFLICT")))
                w.refuse(QStringLiteral("a conflict resolution given twice"));
    for (int i = 0; i < w.size(); ++i) {
        if (i == orFrom) i = w.solid(orTo + 1);  // the words OR IGNORE / OR REPLACE and the blank after
        w.put(i);
    }
    if (!mode) return w.text();
    if (!replace) return w.text() + QStringLiteral(" ON CONFLICT DO NOTHING");
    // Replaces the row of the same primary key, as SQLite does.
    QStringList sets;
    for (const QString& c : columns) sets << serverName(c) + QStringLiteral(" = EXCLUDED.") + serverName(c);
    return w.text() + QStringLiteral(" ON CONFLICT ON CONSTRAINT ") +
           serverName(w.at(table).value() + QStringLiteral("_pkey")) + QStringLiteral(" DO UPDATE SET ") +
           sets.join(QStringLiteral(", "));
}

}  // namespace

QString toServer(const QString& sqliteSql)
{
    const QString sql = translate(sqliteSql);
    const Tokens t = SqlTokens::tokenize(sql);
    for (const Token& k : t) {
        if (!k.closed) refuse(sql, QStringLiteral("a quote or comment left open"));
        if (k.isSymbol(';')) refuse(sql, QStringLiteral("more than one statement"));
        // SQLite reads "x" as the name x where a column of that name is found, and as the
        // text x where none is: which one only the file's engine knows.
        if (k.kind == Token::QuotedName && k.quote() == u'"')
            refuse(sql, QStringLiteral("a double-quoted word, a name or a text as the tables have it"));
    }
    const int first = SqlTokens::nextSolid(t, 0);
    if (first >= t.size()) return sql;
    const Token& head = t[first];
    const bool definition = head.isWord("CREATE") || head.isWord("ALTER");
    ServerText w(sql, t, definition);
    if (head.isWord("CREATE")) {
        const int what = w.solid(first + 1);
        if (w.wordAt(what, "TABLE")) return createTable(w, what);
        if (w.wordAt(what, "INDEX")) return createIndex(w, what, false);
        if (w.wordAt(what, "UNIQUE") && w.wordAt(w.solid(what + 1), "INDEX"))
            return createIndex(w, w.solid(what + 1), true);
        // SQLite's own kinds of table and its views and triggers (their bodies are SQLite's).
        for (const char* kind : {"TEMP", "TEMPORARY", "VIRTUAL", "VIEW", "TRIGGER"})
            if (w.wordAt(what, kind))
                w.refuse(QStringLiteral("CREATE %1, which the server has in another form").arg(kind));
    }
    if (head.isWord("ALTER")) return alterTable(w, first);
    if (head.isWord("INSERT")) return insert(w, first);
    if (head.isWord("REPLACE") || (head.isWord("UPDATE") && w.wordAt(w.solid(first + 1), "OR")))
        w.refuse(QStringLiteral("a conflict resolution the server has no clause for"));
    w.put(0, w.size());
    return w.text();
}

}  // namespace SqlDialect
