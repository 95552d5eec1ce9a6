#include "report/ReportDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextTable>
#include <QUrl>

namespace ReportDocument {

namespace {

// The layout works in pixels of 1/96 inch (as the document writers do): an A4 page with
// 2 cm margins, so the text is 642 pixels (17 cm) wide.
constexpr qreal PageWidthPx = 793.7;
constexpr qreal PageHeightPx = 1122.5;
constexpr qreal MarginPx = 75.6;
constexpr qreal TextWidthPx = PageWidthPx - 2 * MarginPx;
// Pictures are embedded at most this many pixels wide: sharp on paper, small in the file.
constexpr int MaxPictureWidthPx = 1600;

QTextCharFormat textFormat(bool bold, qreal size = 11)
{
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontPointSize(size);
    return f;
}

// Adds paragraphs at the end of the document; the document's own first block is used
// for the first one.
struct Writer {
    QTextCursor c;
    bool started = false;
    void block(const QTextBlockFormat& bf, const QTextCharFormat& fmt)
    {
        if (!started) {
            c.setBlockFormat(bf);
            c.setBlockCharFormat(fmt);
            started = true;
        } else {
            c.insertBlock(bf, fmt);
        }
    }
    void paragraph(const QString& text, const QTextCharFormat& fmt, bool pageBreakBefore = false)
    {
        QTextBlockFormat bf;
        if (pageBreakBefore) bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        block(bf, fmt);
        c.insertText(text, fmt);
    }
};

// A table of text cells across the text width, its first row the bold heading. Columns
// listed in `leftColumns` are aligned left, the others (numbers) right.
void writeTable(Writer& w, const QStringList& heads, const QList<QStringList>& rows, const QList<int>& leftColumns)
{
    w.paragraph(QString(), textFormat(false));
    QTextTableFormat tf;
    tf.setCellPadding(4);
    tf.setCellSpacing(0);
    tf.setBorder(0.5);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tf.setHeaderRowCount(1);
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QTextTable* table = w.c.insertTable(int(rows.size()) + 1, int(heads.size()), tf);
    auto put = [&](int r, int c, const QString& text, bool bold) {
        QTextCursor cell = table->cellAt(r, c).firstCursorPosition();
        QTextBlockFormat bf;
        bf.setAlignment(leftColumns.contains(c) ? Qt::AlignLeft : Qt::AlignRight);
        cell.setBlockFormat(bf);
        cell.insertText(text, textFormat(bold, 10));
    };
    for (int c = 0; c < heads.size(); ++c) put(0, c, heads[c], true);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < heads.size() && c < rows[r].size(); ++c) put(r + 1, c, rows[r][c], false);
    w.c.movePosition(QTextCursor::End);
}

void writeSummary(Writer& w, const QString& period, const Summary& m)
{
    w.paragraph(QString(), textFormat(false));
    w.paragraph(QStringLiteral("Period: ") + period, textFormat(true, 12));
    w.paragraph(QStringLiteral("   Readings in the period: %1").arg(m.readings), textFormat(false));
    w.paragraph(QStringLiteral("   Bolt k factor: ") + m.kFactor + QStringLiteral(" \u00B5strain/ton"),
                textFormat(false));
    w.paragraph(QStringLiteral("   Alarm state now: ") + m.alarmState, textFormat(false));
    if (!m.responsePlan.isEmpty())
        w.paragraph(QStringLiteral("   Response plan: ") + m.responsePlan, textFormat(false));
    if (m.loads.isEmpty()) return;
    w.paragraph(QString(), textFormat(false));
    w.paragraph(
        QStringLiteral("Load at each gauge position in the period (t), zeroed against the first plotted reading"),
        textFormat(true, 11));
    QList<QStringList> rows;
    for (const LoadRow& l : m.loads)
        rows << QStringList{l.gauge, l.position, l.latest, l.latestDate, l.peak, l.peakDate};
    writeTable(w,
               {QStringLiteral("Gauge"), QStringLiteral("Centre (m)"), QStringLiteral("Latest load (t)"),
                QStringLiteral("Date"), QStringLiteral("Peak load (t)"), QStringLiteral("Date")},
               rows, {0, 3, 5});
}

// The last page: the alarm episodes of the period, then the sign-off block.
void writeEpisodesAndSignOff(Writer& w, const QList<EpisodeRow>& episodes)
{
    w.paragraph(QStringLiteral("Alarm episodes in the period"), textFormat(true, 14), true);
    if (episodes.isEmpty()) {
        w.paragraph(noEpisodesText(), textFormat(false));
    } else {
        QList<QStringList> rows;
        for (const EpisodeRow& e : episodes)
            rows << QStringList{e.level, e.where, e.opened, e.closed, e.worst, e.acknowledged};
        writeTable(w,
                   {QStringLiteral("Level"), QStringLiteral("Where"), QStringLiteral("Opened"),
                    QStringLiteral("Closed"), QStringLiteral("Worst value"), QStringLiteral("Acknowledged by")},
                   rows, {0, 1, 2, 3, 5});
    }
    w.paragraph(QString(), textFormat(false));
    w.paragraph(QStringLiteral("Sign-off"), textFormat(true, 14));
    writeTable(w, {QString(), QStringLiteral("Name"), QStringLiteral("Signature"), QStringLiteral("Date")},
               {{QStringLiteral("Prepared by"), QString(), QString(), QString()},
                {QStringLiteral("Checked by"), QString(), QString(), QString()}},
               {0, 1, 2, 3});
}

}  // namespace

QString missingChartText()
{
    return QStringLiteral("   (This chart could not be drawn: the sensor has fewer than two readings to plot.)");
}

QString noEpisodesText() { return QStringLiteral("   No alarm episode in the period."); }

std::unique_ptr<QTextDocument> build(const Content& content)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setPageSize(QSizeF(PageWidthPx, PageHeightPx));
    doc->setDocumentMargin(MarginPx);
    QFont base = doc->defaultFont();
    base.setPointSizeF(11);
    doc->setDefaultFont(base);
    Writer w{QTextCursor(doc.get())};

    const SensorInfo& s = content.sensor;
    // Title block: an empty bold line, the heading, an empty line.
    w.paragraph(QString(), textFormat(true));
    w.paragraph(QStringLiteral("REPORT ") + s.InstrumentID, textFormat(true, 16));
    w.paragraph(QString(), textFormat(false));
    if (content.cover) {
        const QString lines[] = {
            QStringLiteral("   Date: ") + content.today,
            QStringLiteral("   Sensor Number: ") + s.InstrumentID,
            QStringLiteral("   Sensor Type: ") + s.Family + ' ' + s.Model,
            QStringLiteral("   Date Installed: ") + s.InstallDate,
            QStringLiteral("   Installed By: ") + s.InstallBy,
            QStringLiteral("   Level: ") + s.Level,
            QStringLiteral("   Location: ") + s.Location,
            QStringLiteral("   Purpose: ") + s.Purpose,
            QStringLiteral("   Notes: ") + s.Notes,
        };
        for (const QString& line : lines) w.paragraph(line, textFormat(false));
        if (content.summary.present) writeSummary(w, content.period, content.summary);
    }

    int n = 0;
    for (const Section& sec : content.sections) {
        w.paragraph(sec.caption, textFormat(false, 14), true);
        if (sec.picture.isNull()) {
            w.paragraph(missingChartText(), textFormat(false));
        } else {
            QImage pic = sec.picture;
            if (pic.width() > MaxPictureWidthPx) pic = pic.scaledToWidth(MaxPictureWidthPx, Qt::SmoothTransformation);
            const QString name = QStringLiteral("chart%1.png").arg(++n);
            doc->addResource(QTextDocument::ImageResource, QUrl(name), pic);
            QTextImageFormat img;
            img.setName(name);
            img.setWidth(TextWidthPx);
            img.setHeight(TextWidthPx * pic.height() / qMax(1, pic.width()));
            QTextBlockFormat bf;
            bf.setAlignment(Qt::AlignHCenter);
            w.block(bf, textFormat(false));
            w.c.insertImage(img);
        }
        w.paragraph(QStringLiteral("   Notes:"), textFormat(false));
    }
    writeEpisodesAndSignOff(w, content.episodes);
    return doc;
}

std::vector<Item> describe(const QTextDocument& doc)
{
    std::vector<Item> items;
    QTextTable* lastTable = nullptr;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (QTextTable* table = QTextCursor(b).currentTable()) {
            if (table == lastTable) continue;
            lastTable = table;
            QStringList rows;
            for (int r = 0; r < table->rows(); ++r) {
                QStringList cells;
                for (int c = 0; c < table->columns(); ++c) {
                    QTextCursor a = table->cellAt(r, c).firstCursorPosition();
                    a.setPosition(table->cellAt(r, c).lastCursorPosition().position(), QTextCursor::KeepAnchor);
                    cells << a.selectedText();
                }
                rows << cells.join(QStringLiteral(" | "));
            }
            items.push_back({Kind::Table, rows.join(QStringLiteral(" / ")), false});
            continue;
        }
        if (b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            items.push_back({Kind::PageBreak, QString(), false});
        QString text;
        bool bold = b.charFormat().fontWeight() >= QFont::Bold;
        bool picture = false;
        bool first = true;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().isImageFormat()) {
                picture = true;
                continue;
            }
            if (first) bold = f.charFormat().fontWeight() >= QFont::Bold;
            first = false;
            text += f.text();
        }
        if (picture) items.push_back({Kind::Picture, QString(), false});
        if (!picture || !text.isEmpty()) items.push_back({Kind::Paragraph, text, bold});
    }
    return items;
}

namespace {
// Writes the finished bytes in one go: the file is replaced only by a complete document.
bool saveBytes(const QByteArray& data, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}
}  // namespace

bool writeOdt(const QTextDocument& doc, const QString& path, QString* error)
{
    // The writer closes the device it is given, so it writes into memory first.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QTextDocumentWriter writer(&buffer, "odf");
    if (!writer.write(&doc)) {
        if (error) *error = QStringLiteral("the document could not be written");
        return false;
    }
    return saveBytes(buffer.data(), path, error);
}

bool writePdf(const QTextDocument& doc, const QString& path, QString* error)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        const QString title = doc.metaInformation(QTextDocument::DocumentTitle);
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(300);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Tarnwell"));
        // Each page of the laid-out document drawn in turn, with the title and its number
        // in the foot margin.
        const QSizeF page = doc.pageSize();
        const int pages = doc.pageCount();
        QPainter p;
        if (!p.begin(&pdf)) {
            if (error) *error = QStringLiteral("the PDF could not be started");
            return false;
        }
        const qreal scale = pdf.width() / page.width();
        // Sized in the document's pixels, which the painter scales to the page.
        QFont foot = doc.defaultFont();
        foot.setPixelSize(11);
        for (int i = 0; i < pages; ++i) {
            if (i > 0) pdf.newPage();
            p.save();
            p.scale(scale, scale);
            p.translate(0, -i * page.height());
            const QRectF view(0, i * page.height(), page.width(), page.height());
            p.setClipRect(view);
            QAbstractTextDocumentLayout::PaintContext ctx;
            ctx.clip = view;
            ctx.palette.setColor(QPalette::Text, Qt::black);
            doc.documentLayout()->draw(&p, ctx);
            p.restore();
            p.save();
            p.scale(scale, scale);
            p.setFont(foot);
            p.setPen(QColor(90, 90, 90));
            const QRectF footer(MarginPx, page.height() - MarginPx * 0.75, page.width() - 2 * MarginPx, MarginPx * 0.4);
            p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, title);
            p.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                       QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
            p.restore();
        }
        p.end();
    }
    return saveBytes(buffer.data(), path, error);
}

}  // namespace ReportDocument
