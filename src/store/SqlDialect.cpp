#include "store/SqlDialect.h"
#include <QRegularExpression>

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
    if (name.size() >= 2 && ((name.front() == '`' && name.back() == '`') ||
                             (name.front() == '[' && name.back() == ']') ||
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
    static const QRegularExpression whereRe(QStringLiteral("^WHERE\\s+"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto wm = whereRe.match(rest);
    if (wm.hasMatch()) out.where = rest.mid(wm.capturedEnd()).trimmed();
    else if (!rest.isEmpty()) return out;   // joins and the like are not supported
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

}  // namespace SqlDialect
