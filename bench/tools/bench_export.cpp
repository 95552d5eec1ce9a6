// The datasheet at 10,000 / 100,000 / 1,000,000 readings a minute apart: opened, scrolled
// to its last reading, and exported to a spreadsheet, beside the same library writing the
// same cells straight from SQLite in C (constant-memory mode, the same cell types and
// formats: one date-time column, the heading frozen) in the same run.
//
//   QT_QPA_PLATFORM=offscreen build/bench/tools/bench_export [--sizes ...] [--runs 3]
#include "support/BenchSupport.h"
#include "app/MainWindow.h"
#include "core/Desktop.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "store/Database.h"
#include "support/BySize.h"
#include "tools/GridWidgets.h"
#include "tools/ToolsController.h"
#include "tools/DatasheetWindow.h"

#include <sqlite3.h>
#include <xlsxwriter.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

const QString Id = QStringLiteral("250475002");

// The datasheet's cells written by the library's C interface, read by SQLite's.
qint64 bareExport(Database& db, const QString& path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* wb = workbook_new_opt(file.constData(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, Id.toLatin1().constData());
    lxw_format* momentFormat = workbook_add_format(wb);
    format_set_num_format(momentFormat, "yyyy/mm/dd hh:mm:ss");
    lxw_format* one = workbook_add_format(wb);
    format_set_num_format(one, "0.0");
    lxw_format* two = workbook_add_format(wb);
    format_set_num_format(two, "0.00");
    const char* header[] = {"Date and time",
                            "Temperature (\u00B0C)",
                            "Gauge 1 (\u00B5strain)",
                            "Gauge 2 (\u00B5strain)",
                            "Gauge 3 (\u00B5strain)",
                            "Gauge 4 (\u00B5strain)",
                            "Gauge 5 (\u00B5strain)",
                            "Gauge 6 (\u00B5strain)",
                            "PlotTemporal",
                            "PlotSpatial",
                            "Rejected"};
    for (int c = 0; c < 11; ++c) worksheet_write_string(ws, 0, lxw_col_t(c), header[c], nullptr);
    worksheet_freeze_panes(ws, 1, 0);
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QStringLiteral(
                               "SELECT ReadingDate, ReadingTime, ChannelT, Channel1, Channel2, "
                               "Channel3, Channel4, Channel5, Channel6, Plottemporal, PlotSpatial FROM `%1` "
                               "ORDER BY FullDate, rowid")
                               .arg(Id)
                               .toUtf8();
    sqlite3_prepare_v2(db.sqliteHandle(), sql.constData(), -1, &st, nullptr);
    lxw_row_t row = 1;
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto text = [&](int c) { return reinterpret_cast<const char*>(sqlite3_column_text(st, c)); };
        const char* d = text(0);
        const char* t = text(1);
        lxw_datetime moment = {std::atoi(d), std::atoi(d + 5), std::atoi(d + 8),
                               std::atoi(t), std::atoi(t + 3), double(std::atoi(t + 6))};
        worksheet_write_datetime(ws, row, 0, &moment, momentFormat);
        worksheet_write_number(ws, row, 1, std::atof(text(2)), one);
        for (int c = 2; c <= 7; ++c) worksheet_write_number(ws, row, lxw_col_t(c), std::atof(text(c + 1)), two);
        worksheet_write_boolean(ws, row, 8, sqlite3_column_int(st, 9), nullptr);
        worksheet_write_boolean(ws, row, 9, sqlite3_column_int(st, 10), nullptr);
        ++row;
    }
    sqlite3_finalize(st);
    workbook_close(wb);
    return qint64(row) - 1;
}

void runSize(const Bench::SizeRun& run)
{
    Bench::Home home;
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Bench::fillMinutes(db, Id, run.size);
    }
    QTemporaryDir dir;
    Messages::Script script;
    Messages::installScript(&script);
    Desktop::Recorder recorder;
    Desktop::installRecorder(&recorder);
    {
        MainWindow w;
        w.show();
        Shared& s = w.shared();
        s.rsSensors->moveFirst();
        s.rsSensors->find(QStringLiteral("InstrumentID = '") + Id + '\'');
        s.subWindowSensor = Id;

        DatasheetWindow* sheet = nullptr;
        Bench::figure("datasheet opened",
                      Bench::fastest(
                          run.runs,
                          [&] {
                              sheet = new DatasheetWindow(w, *w.tools(), &w);
                              sheet->show();
                              QApplication::processEvents();
                          },
                          [&] {
                              if (sheet) {
                                  sheet->reject();
                                  delete sheet;
                                  sheet = nullptr;
                              }
                          }),
                      "ms", "<= 1 s");
        QElapsedTimer t;
        t.start();
        sheet->grid->scrollToBottom();
        QApplication::processEvents();
        Bench::figure("datasheet scrolled to the last reading", Bench::ms(t), "ms");

        const QString xlsx = QDir(dir.path()).filePath(QStringLiteral("sheet.xlsx"));
        bool written = false;
        Bench::figure("export of every reading to .xlsx",
                      Bench::fastest(
                          run.runs, [&] { written = sheet->FlexGridToExcel(xlsx, Id); }, [&] { QFile::remove(xlsx); }),
                      "ms", run.size == 1000000 ? "<= 30 s" : QString());
        Bench::note(QStringLiteral("workbook %1 MB; peak memory %2 MB")
                        .arg(QFileInfo(xlsx).size() / 1e6, 0, 'f', 1)
                        .arg(Bench::peakMB(), 0, 'f', 0));
        if (!written) std::printf("CHECK FAILED: export not written\n");
        const QString bareXlsx = QDir(dir.path()).filePath(QStringLiteral("bare.xlsx"));
        qint64 rows = 0;
        Bench::bare("export of every reading to .xlsx",
                    Bench::fastest(
                        run.runs, [&] { rows = bareExport(s.db, bareXlsx); }, [&] { QFile::remove(bareXlsx); }));
        if (rows != run.size) std::printf("CHECK FAILED: bare export wrote %lld rows\n", rows);
        Bench::figure("peak memory", Bench::peakMB(), "MB");
        sheet->reject();
        delete sheet;
    }
    Messages::installScript(nullptr);
    Desktop::installRecorder(nullptr);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return Bench::bySize(argc, argv, QStringLiteral("Datasheet and spreadsheet export (whole window, offscreen)"),
                         runSize);
}
