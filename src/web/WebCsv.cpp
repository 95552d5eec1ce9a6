#include "web/WebCsv.h"
#include "charts/ChartRules.h"
#include "data/Passes.h"
#include "data/PassValues.h"
#include "data/SensorDetails.h"
#include "store/Database.h"
#include "store/Statement.h"
#include "web/WebJson.h"
#include "web/WebParams.h"
#include "web/WebSensors.h"

#include <QHash>
#include <cmath>

namespace WebCsv {

namespace {

// A cell: quoted when it holds a separator, a quote or a line break; a text that a
// spreadsheet would take for a formula gets a leading apostrophe.
void appendCell(QByteArray& out, QByteArrayView text)
{
    const bool formula =
        !text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '@' ||
                          (text[0] == '-' && !(text.size() > 1 && (std::isdigit(text[1]) || text[1] == '.'))));
    const bool quote =
        formula || text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r');
    if (!quote) {
        out.append(text.data(), text.size());
        return;
    }
    out += '"';
    if (formula) out += '\'';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void appendNumber(QByteArray& out, double v)
{
    if (!std::isnan(v)) JsonWriter::appendNumber(out, v);
}

struct Computed {
    QStringList names;
    std::vector<std::shared_ptr<std::vector<double>>> values;
    QHash<qint64, qsizetype> rowOf;  // rowid -> index
};

// The named columns as the pass of kind computes them for the readings it draws; empty
// when they cannot be computed without the pass (the stored values are written then).
Computed compute(Database& db, const SensorDetails& s, Calc::PassKind kind, const QStringList& names)
{
    Computed c;
    if (names.isEmpty()) return c;
    const Calc::SensorInputs in = WebSensors::passInputs(s);
    std::optional<Calc::ComputedColumns> cols =
        Calc::computeColumns(db, in, kind, Calc::GraphSelection::Plottable, names,
                             [](QByteArrayView text) { return ChartRules::dateTimeKeyUtf8(text); });
    if (!cols) return c;
    c.names = cols->names;
    c.values = std::move(cols->values);
    for (size_t i = 0; i < cols->rowIds.size(); ++i) c.rowOf.insert(cols->rowIds[i], qsizetype(i));
    return c;
}

}  // namespace

QByteArray readings(Database& db, const SensorDetails& sensor, std::optional<double> from, std::optional<double> to)
{
    const QString table = sensor.instrumentId;
    QStringList channels, loads, disps;
    for (const Database::Column& c : db.columns(table)) {
        const QString n = c.name;
        if (n.startsWith(QLatin1String("Channel"), Qt::CaseInsensitive) &&
            n.compare(QLatin1String("ChannelT"), Qt::CaseInsensitive) != 0)
            channels << n;
        else if (n.startsWith(QLatin1String("Load"), Qt::CaseInsensitive)) loads << n;
        else if (n.startsWith(QLatin1String("Disp"), Qt::CaseInsensitive)) disps << n;
    }
    const Computed load = compute(db, sensor, Calc::PassKind::Load, loads + QStringList{QStringLiteral("NumTemp")});
    const Computed disp = compute(db, sensor, Calc::PassKind::DispTime, disps);

    // rowid, FullDate, ChannelT, channels, stored loads, stored displacements, NumTemp
    QStringList columns{QStringLiteral("rowid"), QStringLiteral("FullDate"), QStringLiteral("ChannelT")};
    columns << channels << loads << disps << QStringLiteral("NumTemp");
    QStringList quoted;
    for (const QString& c : columns) quoted << (c == QLatin1String("rowid") ? c : WebSensors::quotedName(c));
    Statement q(db, QStringLiteral("SELECT ") + quoted.join(u',') + QStringLiteral(" FROM ") +
                        WebSensors::quotedName(table) + QStringLiteral(" ORDER BY FullDate"));

    QByteArray out = "Date,Temperature channel";
    for (const QString& c : channels) out += ',' + c.toUtf8();
    for (const QString& c : loads) out += ',' + c.toUtf8() + " (t)";
    for (const QString& c : disps) out += ',' + c.toUtf8() + " (microns)";
    out += ",Temperature\r\n";

    const int firstChannel = 3;
    const int firstLoad = firstChannel + int(channels.size());
    const int firstDisp = firstLoad + int(loads.size());
    const int tempColumn = firstDisp + int(disps.size());
    // A computed value of the row when the pass computes it, else the stored one.
    auto valueOf = [&](const Computed& c, const QString& name, qint64 rowid, int column) {
        const qsizetype i = c.rowOf.value(rowid, -1);
        const qsizetype at = c.names.indexOf(name);
        if (i >= 0 && at >= 0) return (*c.values[size_t(at)])[size_t(i)];
        return q.isNull(column) || !q.isNumber(column) ? std::nan("") : q.number(column);
    };
    while (q.next()) {
        const double key = ChartRules::dateTimeKeyUtf8(q.utf8(1));
        if (std::isnan(key) || (from && key < *from) || (to && key > *to)) continue;
        const qint64 rowid = q.integer(0);
        appendCell(out, WebParams::dateText(key).toUtf8());
        out += ',';
        appendCell(out, q.utf8(2));
        for (int i = 0; i < channels.size(); ++i) {
            out += ',';
            appendCell(out, q.utf8(firstChannel + i));
        }
        for (int i = 0; i < loads.size(); ++i) {
            out += ',';
            appendNumber(out, valueOf(load, loads[i], rowid, firstLoad + i));
        }
        for (int i = 0; i < disps.size(); ++i) {
            out += ',';
            appendNumber(out, valueOf(disp, disps[i], rowid, firstDisp + i));
        }
        out += ',';
        appendNumber(out, valueOf(load, QStringLiteral("NumTemp"), rowid, tempColumn));
        out += "\r\n";
    }
    return out;
}

QString attachmentHeader(const QString& sensorId)
{
    QString name;
    for (const QChar c : sensorId) name += c.isLetterOrNumber() || c == u'-' || c == u'_' ? c : u'_';
    return QStringLiteral("attachment; filename=\"%1-readings.csv\"").arg(name);
}

}  // namespace WebCsv
