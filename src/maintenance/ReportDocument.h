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

struct Section {
    QString caption;   // "Load v Time", ...
    QImage picture;    // null when the chart could not be drawn
};

struct Content {
    SensorInfo sensor;
    QString today;          // the date line's text (locale short format)
    bool cover = true;      // false: the installation lines are left out
    QStringList alarms;     // the alarm status, levels and open events (empty: left out)
    QList<Section> sections;
};

// What the document holds, in order: paragraphs (with their text and weight), page breaks
// and pictures.
enum class Kind { Paragraph, PageBreak, Picture };
struct Item {
    Kind kind = Kind::Paragraph;
    QString text;
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
bool writePdf(const QTextDocument& doc, const QString& path, QString* error = nullptr);

}  // namespace ReportDocument
