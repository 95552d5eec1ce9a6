#include "store/SqlDialect.h"
#include "store/SqlTokens.h"

#include <QHash>
#include <QReadWriteLock>

using SqlTokens::Token;
using SqlTokens::Tokens;

namespace SqlDialect {

namespace {

// The statement's text from token first up to (not including) token end.
QString textOf(const QString& sql, const Tokens& t, int first, int end)
{
    if (first >= end) return QString();
    return sql.mid(t[first].start, t[end - 1].start + t[end - 1].text.size() - t[first].start);
}

// The index of the first solid token from "from" on, outside brackets, for which test holds
// (t.size() when none).
template <typename Test>
int findOutside(const Tokens& t, int from, Test test)
{
    int depth = 0;
    for (int i = from; i < t.size(); ++i) {
        if (t[i].isSymbol('(')) ++depth;
        else if (t[i].isSymbol(')')) --depth;
        else if (depth == 0 && test(i)) return i;
    }
    return int(t.size());
}

}  // namespace

QString translate(const QString& jetSql)
{
    // Most statements are SQLite's as they stand (this runs before every statement on the
    // file): only a closing ";" or a DELETE needs a reading.
    const QString trimmed = jetSql.trimmed();
    if (!trimmed.endsWith(u';') && !trimmed.startsWith(QLatin1String("DELETE"), Qt::CaseInsensitive)) return trimmed;
    const Tokens t = SqlTokens::tokenize(jetSql);
    int first = 0;
    int end = int(t.size());
    while (first < end && t[first].kind == Token::Space) ++first;
    while (end > first && (t[end - 1].kind == Token::Space || t[end - 1].isSymbol(';'))) --end;
    // The established "DELETE * FROM t" deletes every row of t.
    const int star = SqlTokens::nextSolid(t, first + 1);
    const int from = SqlTokens::nextSolid(t, star + 1);
    if (first < end && t[first].isWord("DELETE") && star < end && t[star].isSymbol('*') && from < end &&
        t[from].isWord("FROM"))
        return textOf(jetSql, t, first, first + 1) + u' ' + textOf(jetSql, t, from, end);
    return textOf(jetSql, t, first, end);
}

Select parseSelect(const QString& jetSql)
{
    Select out;
    const QString s = translate(jetSql);
    const Tokens t = SqlTokens::tokenize(s);
    const int select = SqlTokens::nextSolid(t, 0);
    if (select >= t.size() || !t[select].isWord("SELECT")) return out;
    const int from = findOutside(t, select + 1, [&](int i) { return t[i].isWord("FROM"); });
    const int table = SqlTokens::nextSolid(t, from + 1);
    if (table >= t.size()) return out;
    // The table: one quoted name, or a bare name written without blanks ("Sensors", "main.Sensors").
    int afterTable = table + 1;
    if (t[table].kind != Token::QuotedName)
        while (afterTable < t.size() && (t[afterTable].kind == Token::Word || t[afterTable].kind == Token::Number ||
                                         t[afterTable].isSymbol('.')))
            ++afterTable;
    if (t[table].kind != Token::QuotedName && t[table].kind != Token::Word && t[table].kind != Token::Number)
        return out;
    out.columns = textOf(s, t, select + 1, from).trimmed();
    if (out.columns.isEmpty()) return out;
    out.table = t[table].kind == Token::QuotedName ? t[table].value() : textOf(s, t, table, afterTable);

    const int order = findOutside(t, afterTable, [&](int i) {
        return t[i].isWord("ORDER") && t.value(SqlTokens::nextSolid(t, i + 1)).isWord("BY");
    });
    if (order < t.size()) out.orderBy = textOf(s, t, SqlTokens::nextSolid(t, order + 1) + 1, int(t.size())).trimmed();
    const int where = SqlTokens::nextSolid(t, afterTable);
    if (where < order) {
        if (!t[where].isWord("WHERE")) return out;  // joins and the like are not supported
        out.where = textOf(s, t, where + 1, order).trimmed();
        if (out.where.isEmpty()) return out;
    }
    out.valid = true;
    return out;
}

QString quoteName(const QString& name)
{
    QString n = name;
    n.replace(QStringLiteral("`"), QStringLiteral("``"));
    return '`' + n + '`';
}

QString rowIdsIn(const std::vector<qint64>& ids)
{
    QString list;
    for (qint64 id : ids) list += (list.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(id);
    return QStringLiteral("rowid IN (") + list + ')';
}

bool parseCriterion(const QString& criterion, QString* column, QString* value)
{
    const Tokens t = SqlTokens::tokenize(criterion);
    const int name = SqlTokens::nextSolid(t, 0);
    const int equals = SqlTokens::nextSolid(t, name + 1);
    const int text = SqlTokens::nextSolid(t, equals + 1);
    if (text >= t.size() || SqlTokens::nextSolid(t, text + 1) < t.size()) return false;
    if (t[name].kind != Token::Word || !t[equals].isSymbol('=') || t[text].kind != Token::String || !t[text].closed)
        return false;
    *column = t[name].text;
    *value = t[text].value();
    return true;
}

// ---- the spelling of the program's names on the server ----

namespace {

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
    const Tokens t = SqlTokens::tokenize(sql);
    const int first = SqlTokens::nextSolid(t, 0);
    if (first >= t.size() || !(t[first].isWord("CREATE") || t[first].isWord("ALTER"))) return out;
    for (const Token& k : t) {
        if (!k.isName()) continue;
        const QString name = k.value();
        if (mixedCase(name)) out << name;
    }
    return out;
}

}  // namespace SqlDialect
