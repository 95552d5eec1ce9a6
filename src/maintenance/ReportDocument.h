#pragma once
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QTextDocument;

// The report document: a title block with the sensor's installation information, then
// each chosen chart on a page of its own with its caption, the picture and a "Notes:"
// line for the engineer. Widget-free: the pictures are handed in, the document is written
// as OpenDocument text and, on request, as PDF.
namespace ReportDocument {

struct SensorInfo {
    QString InstrumentID, Family, Model, InstallDate, InstallBy, Level, Location, Purpose, Notes;
};

// What the cover says about the readings: the period they cover, how many there are, the
// k factor, and the latest and the peak load at each gauge position.
struct LoadRow {
    QString gauge;      // the line's legend title ("#1")
    QString position;   // the gauge centre along the bolt (m), empty when unknown
    QString latest, latestDate, peak, peakDate;
};
struct Summary {
    bool present = false;
    QString firstDate, lastDate;   // the period covered
    qint64 readings = 0;
    qint64 plotted = 0;            // marked for the time charts
    QString kFactor;
    QString loadUnit;              // "tons"
    QList<LoadRow> loads;
};

struct Section {
    QString caption;   // "Load v Time", ...
    QImage picture;    // null when the chart could not be drawn
};

struct Content {
    SensorInfo sensor;
    QString today;          // the date line's text (locale short format)
    bool cover = true;      // false: the installation lines and the summary are left out
    Summary summary;
    QStringList alarms;     // the alarm status, levels and open events (empty: left out)
    QList<Section> sections;
};

// What the document holds, in order: paragraphs (with their text and weight), page breaks
// and pictures.
enum class Kind { Paragraph, PageBreak, Picture, Table };
struct Item {
    Kind kind = Kind::Paragraph;
    QString text;   // a table: its cells, " | " between cells and " / " between rows
    bool bold = false;
    bool operator==(const Item& o) const { return kind == o.kind && text == o.text && bold == o.bold; }
};

// The line shown in place of a chart that could not be drawn.
QString missingChartText();

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
