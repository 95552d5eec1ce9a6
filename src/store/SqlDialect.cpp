#include "store/SqlDialect.h"
#include <QHash>
#include <QPair>
#include <QReadWriteLock>
#include <QRegularExpression>
#include <QStringList>

namespace SqlDialect {

QString translate(const QString& jetSql)
{
    QString s = jetSql.trimmed();
    while (s.endsWith(';')) s.chop(1);
    static const QRegularExpression deleteStar(QStringLiteral("^\\s*DELETE\\s+\\*\\s+FROM\\s"),
                                               QRegularExpression::CaseInsensitiveOption);
    s.replace(deleteStar, QStringLiteral("DELETE FROM "));
    return s;
}

static QString unquote(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 &&
        ((name.front() == '`' && name.back() == '`') || (name.front() == '[' && name.back() == ']') ||
         (name.front() == '"' && name.back() == '"'))) {
        name = name.mid(1, name.size() - 2);
        name.replace(QStringLiteral("``"), QStringLiteral("`"));
    }
    return name;
}

Select parseSelect(const QString& jetSql)
{
    Select out;
    const QString s = translate(jetSql);
    static const QRegularExpression re(
        QStringLiteral("^\\s*SELECT\\s+(.+?)\\s+FROM\\s+(`[^`]*`|\\[[^\\]]*\\]|\"[^\"]*\"|[A-Za-z0-9_.]+)\\s*(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(s);
    if (!m.hasMatch()) return out;
    out.columns = m.captured(1).trimmed();
    out.table = unquote(m.captured(2));
    QString rest = m.captured(3).trimmed();
    static const QRegularExpression orderRe(QStringLiteral("\\bORDER\\s+BY\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto om = orderRe.match(rest);
    if (om.hasMatch()) {
        out.orderBy = rest.mid(om.capturedEnd()).trimmed();
        rest = rest.left(om.capturedStart()).trimmed();
    }
    static const QRegularExpression whereRe(QStringLiteral("^WHERE\\s+"), QRegularExpression::CaseInsensitiveOption);
    const auto wm = whereRe.match(rest);
    if (wm.hasMatch()) out.where = rest.mid(wm.capturedEnd()).trimmed();
    else if (!rest.isEmpty()) return out;  // joins and the like are not supported
    out.valid = true;
    return out;
}

QString quoteName(const QString& name)
{
    QString n = name;
    n.replace(QStringLiteral("`"), QStringLiteral("``"));
    return '`' + n + '`';
}

bool parseCriterion(const QString& criterion, QString* column, QString* value)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([A-Za-z0-9_]+)\\s*=\\s*'(.*)'\\s*$"),
                                       QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(criterion);
    if (!m.hasMatch()) return false;
    *column = m.captured(1);
    QString v = m.captured(2);
    v.replace(QStringLiteral("''"), QStringLiteral("'"));
    *value = v;
    return true;
}

// ---- the server's dialect ----

namespace {

struct Token {
    enum Kind { Space, Word, Name, String, Other } kind = Other;
    QString text;
};

QList<Token> tokenize(const QString& s)
{
    QList<Token> out;
    int i = 0;
    const int n = int(s.size());
    while (i < n) {
        const QChar c = s[i];
        Token t;
        if (c.isSpace()) {
            int j = i;
            while (j < n && s[j].isSpace()) ++j;
            t = {Token::Space, s.mid(i, j - i)};
            i = j;
        } else if (c.isLetter() || c == '_') {
            int j = i;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == '_' || s[j] == '$')) ++j;
            t = {Token::Word, s.mid(i, j - i)};
            i = j;
        } else if (c == '\'') {
            int j = i + 1;
            while (j < n) {
                if (s[j] == '\'') {
                    if (j + 1 < n && s[j + 1] == '\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            t = {Token::String, s.mid(i, j + 1 - i)};
            i = j + 1;
        } else if (c == '`' || c == '"' || c == '[') {
            const QChar close = c == '[' ? QChar(']') : c;
            QString name;
            int j = i + 1;
            while (j < n) {
                if (s[j] == close) {
                    if (close != ']' && j + 1 < n && s[j + 1] == close) {
                        name += close;
                        j += 2;
                        continue;
                    }
                    break;
                }
                name += s[j++];
            }
            t = {Token::Name, name};
            i = j + 1;
        } else if (c == '?' && i + 1 < n && s[i + 1].isDigit()) {
            // A numbered placeholder: the server numbers its own the same way.
            int j = i + 1;
            while (j < n && s[j].isDigit()) ++j;
            t = {Token::Other, '$' + s.mid(i + 1, j - i - 1)};
            i = j;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            int j = i;
            while (j < n && s[j] != '\n') ++j;
            t = {Token::Space, QStringLiteral(" ")};
            i = j;
        } else {
            t = {Token::Other, QString(c)};
            ++i;
        }
        out << t;
    }
    return out;
}

QHash<QString, QString>& spellings()
{
    static QHash<QString, QString> map;
    return map;
}
QReadWriteLock g_spellLock;

bool mixedCase(const QString& w)
{
    bool upper = false, lower = false;
    for (QChar c : w) {
        if (c.isUpper()) upper = true;
        else if (c.isLower()) lower = true;
    }
    return upper && lower;
}

QString serverName(const QString& name) { return '"' + name.toLower().replace('"', QStringLiteral("\"\"")) + '"'; }

// Words of the program's SQL (not in DDL) the server knows by another name.
QString serverWord(const QString& lower)
{
    if (lower == QLatin1String("rowid")) return QString::fromLatin1(RowIdColumn);
    if (lower == QLatin1String("true")) return QStringLiteral("1");
    if (lower == QLatin1String("false")) return QStringLiteral("0");
    if (lower == QLatin1String("like")) return QStringLiteral("ILIKE");
    if (lower == QLatin1String("ifnull")) return QStringLiteral("coalesce");
    if (lower == QLatin1String("instr")) return QStringLiteral("strpos");
    return QString();
}

// Text columns compare and sort byte by byte, as SQLite's do: the same order on both
// engines whatever the server's locale (and a sort of 100,000 dates costs a fraction of
// a locale-aware one).
const QString TextType = QStringLiteral("TEXT COLLATE \"C\"");

// Column types: SQLite keeps 64-bit integers and doubles; yes/no columns are small
// integers holding 0 and 1 (their type tells a reader that they are yes/no).
QString serverType(const QString& lower)
{
    if (lower == QLatin1String("real") || lower == QLatin1String("double") || lower == QLatin1String("float"))
        return QStringLiteral("DOUBLE PRECISION");
    if (lower == QLatin1String("integer") || lower == QLatin1String("int")) return QStringLiteral("BIGINT");
    if (lower == QLatin1String("boolean") || lower == QLatin1String("bit")) return QStringLiteral("SMALLINT");
    if (lower == QLatin1String("blob")) return QStringLiteral("BYTEA");
    return QString();
}

int nextWord(const QList<Token>& t, int from)
{
    for (int i = from; i < t.size(); ++i)
        if (t[i].kind != Token::Space) return i;
    return int(t.size());
}

bool isWord(const QList<Token>& t, int i, const char* w)
{
    return i < t.size() && t[i].kind == Token::Word && t[i].text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}

}  // namespace

void learnSpelling(const QString& name)
{
    if (!mixedCase(name)) return;
    const QString key = name.toLower();
    {
        QReadLocker r(&g_spellLock);
        if (spellings().contains(key)) return;
    }
    QWriteLocker w(&g_spellLock);
    spellings().insert(key, name);
}

QString spelling(const QString& serverName)
{
    QReadLocker r(&g_spellLock);
    return spellings().value(serverName.toLower(), serverName);
}

QStringList definedNames(const QString& sql)
{
    QStringList out;
    const QList<Token> t = tokenize(sql);
    const int first = nextWord(t, 0);
    if (!isWord(t, first, "CREATE") && !isWord(t, first, "ALTER")) return out;
    for (const Token& k : t)
        if ((k.kind == Token::Word || k.kind == Token::Name) && mixedCase(k.text)) out << k.text;
    return out;
}

QString toServer(const QString& sqliteSql)
{
    QString sql = translate(sqliteSql);
    const QList<Token> t = tokenize(sql);
    const int first = nextWord(t, 0);
    const bool ddl = isWord(t, first, "CREATE") || isWord(t, first, "ALTER");
    const bool createTable = isWord(t, first, "CREATE") && isWord(t, nextWord(t, first + 1), "TABLE");
    // An index that need not be unique ends with the row identity: a selection in the
    // index's order and then the rows' (a recordset's ORDER BY) is read from the index
    // alone, with no sort.
    bool indexRowIdAdded = !(isWord(t, first, "CREATE") && isWord(t, nextWord(t, first + 1), "INDEX"));

    // INSERT OR IGNORE / OR REPLACE: the conflict clause goes to the end.
    QString conflict;
    int skipFrom = -1, skipTo = -1;
    if (isWord(t, first, "INSERT")) {
        const int orWord = nextWord(t, first + 1);
        const int what = nextWord(t, orWord + 1);
        if (isWord(t, orWord, "OR") && (isWord(t, what, "IGNORE") || isWord(t, what, "REPLACE"))) {
            skipFrom = orWord;
            skipTo = what;
            if (isWord(t, what, "IGNORE")) {
                conflict = QStringLiteral(" ON CONFLICT DO NOTHING");
            } else {
                // Replaces the row of the same primary key, as SQLite does.
                const int into = nextWord(t, what + 1);
                const int table = nextWord(t, into + 1);
                const int open = nextWord(t, table + 1);
                QStringList sets;
                if (table < t.size() && open < t.size() && t[open].text == QLatin1String("(")) {
                    for (int i = open + 1; i < t.size() && t[i].text != QLatin1String(")"); ++i)
                        if (t[i].kind == Token::Word || t[i].kind == Token::Name)
                            sets << serverName(t[i].text) + QStringLiteral(" = EXCLUDED.") + serverName(t[i].text);
                    conflict = QStringLiteral(" ON CONFLICT ON CONSTRAINT ") +
                               serverName(t[table].text + QStringLiteral("_pkey")) +
                               (sets.isEmpty() ? QStringLiteral(" DO NOTHING")
                                               : QStringLiteral(" DO UPDATE SET ") + sets.join(QStringLiteral(", ")));
                }
            }
        }
    }

    QString out;
    out.reserve(sql.size() + 64);
    bool rowIdAdded = !createTable;
    int depth = 0;
    // group_concat(x) -> string_agg(x, ','): the depth of each open call and whether it
    // has its separator.
    QList<QPair<int, bool>> aggregates;
    int segmentWords = 0;  // words of the column definition being read (CREATE TABLE)
    bool segmentPlain = true;
    for (int i = 0; i < t.size(); ++i) {
        if (i >= skipFrom && i <= skipTo) continue;
        const Token& k = t[i];
        if (createTable && depth == 1) {
            if (k.kind == Token::Word || k.kind == Token::Name) {
                ++segmentWords;
            } else if (k.text == QLatin1String(",") || k.text == QLatin1String(")")) {
                // A column declared without a type holds texts (as SQLite reads them back).
                if (segmentWords == 1 && segmentPlain) out += u' ' + TextType;
                segmentWords = 0;
                segmentPlain = true;
            } else if (k.kind != Token::Space) {
                segmentPlain = false;
            }
        } else if (createTable && depth > 1) {
            segmentPlain = false;
        }
        if (k.kind == Token::Other && k.text == QLatin1String("(")) ++depth;
        if (k.kind == Token::Other && k.text == QLatin1String(",") && !aggregates.isEmpty() &&
            aggregates.last().first == depth)
            aggregates.last().second = true;
        if (k.kind == Token::Other && k.text == QLatin1String(")")) {
            if (!aggregates.isEmpty() && aggregates.last().first == depth) {
                if (!aggregates.last().second) out += QStringLiteral("::text, ','");
                aggregates.removeLast();
            }
            --depth;
        }
        if (k.kind == Token::Word && k.text.compare(QLatin1String("group_concat"), Qt::CaseInsensitive) == 0) {
            out += QStringLiteral("string_agg");
            aggregates.append({depth + 1, false});
            continue;
        }
        switch (k.kind) {
            case Token::Space:
                out += k.text;
                break;
            case Token::String:
                out += k.text;
                break;
            case Token::Name:
                learnSpelling(k.text);
                out += serverName(k.text);
                break;
            case Token::Word: {
                const QString lower = k.text.toLower();
                if (ddl) {
                    if (lower == QLatin1String("autoincrement")) break;
                    if (lower == QLatin1String("integer") && isWord(t, nextWord(t, i + 1), "PRIMARY") &&
                        isWord(t, nextWord(t, nextWord(t, i + 1) + 1), "KEY")) {
                        out += QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY");
                        break;
                    }
                    const QString type = serverType(lower);
                    if (!type.isEmpty()) {
                        out += type;
                        break;
                    }
                    if (lower == QLatin1String("text")) {
                        out += TextType;
                        break;
                    }
                }
                const QString word = serverWord(lower);
                if (!word.isEmpty() && !(ddl && lower == QLatin1String("rowid"))) {
                    out += word;
                    break;
                }
                learnSpelling(k.text);
                out += k.text;
                break;
            }
            case Token::Other:
                if (!indexRowIdAdded && k.text == QLatin1String(")")) {
                    out += QStringLiteral(", ") + QString::fromLatin1(RowIdColumn);
                    indexRowIdAdded = true;
                }
                out += k.text;
                // Every table has its own row identity on the server.
                if (!rowIdAdded && k.text == QLatin1String("(")) {
                    out += QString::fromLatin1(RowIdColumn) +
                           QStringLiteral(" BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, ");
                    rowIdAdded = true;
                }
                break;
        }
    }
    return out + conflict;
}

}  // namespace SqlDialect
