// The data tools at 100,000 readings: a logger file shown in the import window, all its
// rows appended, the datasheet opened, and the datasheet exported to a spreadsheet.
#include "support/BenchSupport.h"
#include "app/frmTarnwell.h"
#include "core/Desktop.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "store/Database.h"
#include "tools/DatasheetModel.h"
#include "tools/LoggerGridModel.h"
#include "tools/LoggerImport.h"
#include "tools/ToolsController.h"
#include "tools/frmDatasheet.h"
#include "tools/frmWrenData.h"

#include "tools/GridWidgets.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {
// Processor time of this process in ms: a fairer figure than wall time on a busy machine.
double cpuMs() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }
void cpuReport(double since) { std::printf("  (processor time: %.0f ms)\n", cpuMs() - since); }
}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::Home home;
    const int count = 100000;
    const QString logger = QStringLiteral("250475001");   // empty sensor the file is imported into
    const QString filled = QStringLiteral("250475002");   // sensor with 100,000 readings
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Bench::fillSensor(db, filled, count);
        Bench::fillSensor(db, logger, 0);
    }

    // A logger file of 100,000 lines, one reading an hour.
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(logger + QStringLiteral(".txt"));
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        const QDateTime start(QDate(2021, 1, 1), QTime(0, 0, 5));
        QByteArray out;
        for (int n = 0; n < count; ++n) {
            out += start.addSecs(qint64(n) * 3600).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1();
            out += ",7,75,250475001," + QByteArray::number(15 + 5 * std::sin(n / 100.0), 'f', 2);
            for (int c = 1; c <= 6; ++c) out += ',' + QByteArray::number(100.0 * c + 50 * std::sin(n / 24.0 + c), 'f', 3);
            out += "\r\n";
        }
        f.write(out);
    }
    std::printf("Data tools, %d readings\n", count);

    Messages::Script script;
    Messages::installScript(&script);
    Desktop::Recorder recorder;
    Desktop::installRecorder(&recorder);
    frmTarnwell w;
    w.show();
    Shared& s = w.shared();
    s.rsSensors->find(QStringLiteral("InstrumentID = '") + logger + '\'');
    s.subWindowSensor = logger;
    w.tools()->cboWrenInt->setCurrentText(QStringLiteral("1"));

    // 1. The logger file read and shown in the import window.
    QElapsedTimer t;
    t.start();
    double cpu = cpuMs();
    w.tools()->OpenDataFile(logger + QStringLiteral(".txt"), file);
    auto* window = new frmWrenData(w, *w.tools(), file, &w);
    window->show();
    QApplication::processEvents();
    Bench::report("logger file of 100,000 lines shown in the import window", t.nsecsElapsed() / 1e6, "ms", "<= 1000 ms");
    cpuReport(cpu);
    const int selected = window->model()->selectedCount();

    // 2. All its rows appended (one transaction, duplicates found by the key index).
    t.restart();
    cpu = cpuMs();
    const auto target = WrenImport::targetFor(s.db, logger);
    const auto outcome = WrenImport::appendRows(s.db, target, window->model()->rows(), window->model()->selection(),
                                                WrenDates::Layout::YearFirst);
    Bench::report("append all rows", t.nsecsElapsed() / 1e6, "ms", "<= 3000 ms");
    cpuReport(cpu);
    t.restart();
    cpu = cpuMs();
    const auto again = WrenImport::appendRows(s.db, target, window->model()->rows(), window->model()->selection(),
                                              WrenDates::Layout::YearFirst);
    Bench::report("append the same rows again (all refused as duplicates)", t.nsecsElapsed() / 1e6, "ms");
    cpuReport(cpu);
    if (selected != count || outcome.appended != count || int(again.duplicates.size()) != count)
        std::printf("CHECK FAILED: selected=%d appended=%d duplicates=%d\n", selected, outcome.appended,
                    int(again.duplicates.size()));
    window->reject();
    delete window;

    // 3. The datasheet opened on 100,000 readings.
    s.rsSensors->moveFirst();
    s.rsSensors->find(QStringLiteral("InstrumentID = '") + filled + '\'');
    s.subWindowSensor = filled;
    t.restart();
    cpu = cpuMs();
    auto* sheet = new frmDatasheet(w, *w.tools(), &w);
    sheet->show();
    QApplication::processEvents();
    Bench::report("datasheet opened on 100,000 readings", t.nsecsElapsed() / 1e6, "ms", "<= 1000 ms");
    cpuReport(cpu);
    t.restart();
    cpu = cpuMs();
    sheet->MSFlexGrid1->scrollToBottom();
    QApplication::processEvents();
    Bench::report("datasheet scrolled to the last reading", t.nsecsElapsed() / 1e6, "ms");
    cpuReport(cpu);

    // 4. The export of all its cells.
    t.restart();
    cpu = cpuMs();
    const QString xlsx = QDir(dir.path()).filePath(QStringLiteral("sheet.xlsx"));
    const bool written = sheet->FlexGridToExcel(xlsx, filled);
    Bench::report("export of 100,000 readings to .xlsx", t.nsecsElapsed() / 1e6, "ms");
    cpuReport(cpu);
    std::printf("  workbook size: %.1f MB\n", QFileInfo(xlsx).size() / 1e6);
    if (!written) std::printf("CHECK FAILED: export not written\n");
    sheet->reject();
    delete sheet;
    Messages::installScript(nullptr);
    Desktop::installRecorder(nullptr);
    return 0;
}
