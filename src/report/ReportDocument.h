#pragma once
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QTextDocument;

// The report document: a first page with the sensor's installation information and its
// account of the period, then each chosen chart on a page of its own with its caption, the
// picture and a "Notes:" line for the engineer, and a last page with the alarm episodes of
// the period and the sign-off block. Widget-free: the pictures are handed in, the document
// is written as OpenDocument text and, on request, as PDF.
namespace ReportDocument {

struct SensorInfo {
    QString InstrumentID, Family, Model, InstallDate, InstallBy, Level, Location, Purpose, Notes;
};

// The first page's account of the period: how many readings it holds, the k factor, the
// alarm state now with its response plan, and the latest and the peak load at each gauge
// position within the period.
struct LoadRow {
    QString gauge;     // the line's legend title ("#1")
    QString position;  // the gauge centre along the bolt (m), empty when unknown
    QString latest, latestDate, peak, peakDate;
};
struct Summary {
    bool present = false;
    qint64 readings = 0;  // readings dated within the period
    QString kFactor;
    QString alarmState;    // "Action - Load #2 12.40 t ... since ...", "no levels set"
    QString responsePlan;  // the plan of the level the sensor stands at; empty: none
    QList<LoadRow> loads;
};

struct Section {
    QString caption;  // "Load v Time, 01/11/2026 to 08/12/2026", ...
    QImage picture;   // null when the chart could not be drawn
};

// One alarm episode of the period, as its cells read.
struct EpisodeRow {
    QString level, where, opened, closed, worst, acknowledged;
};

struct Content {
    SensorInfo sensor;
    QString today;      // the date line's text (locale short format)
    bool cover = true;  // false: the installation lines and the summary are left out
    QString period;     // "01/11/2026 to 08/12/2026"
    Summary summary;
    QList<Section> sections;
    QList<EpisodeRow> episodes;
};

// What the document holds, in order: paragraphs (with their text and weight), page breaks
// and pictures.
enum class Kind { Paragraph, PageBreak, Picture, Table };
struct Item {
    Kind kind = Kind::Paragraph;
    QString text;  // a table: its cells, " | " between cells and " / " between rows
    bool bold = false;
    bool operator==(const Item& o) const { return kind == o.kind && text == o.text && bold == o.bold; }
};

// The line shown in place of a chart that could not be drawn.
QString missingChartText();
// The line shown when no alarm episode falls in the period.
QString noEpisodesText();

// The document for the content, laid out for an A4 page; pictures scaled to the text width.
std::unique_ptr<QTextDocument> build(const Content& content);

// Reads the sequence of items back out of a document.
std::vector<Item> describe(const QTextDocument& doc);

// Writes the document. False (with a reason) when the file could not be written; a file
// that fails half-way is removed, and an existing file of that name is replaced only by
// a complete one.
bool writeOdt(const QTextDocument& doc, const QString& path, QString* error = nullptr);
// The PDF carries the document's title and "Page n of m" at the foot of every page.
bool writePdf(const QTextDocument& doc, const QString& path, QString* error = nullptr);

}  // namespace ReportDocument
