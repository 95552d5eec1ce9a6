// The logger import at 100,000 readings: a logger file shown in the import window and all
// its rows appended. (The datasheet and its export: bench_export.)
#include "support/BenchSupport.h"
#include "app/Desktop.h"
#include "app/Messages.h"
#include "app/frmTarnwell.h"
#include "store/Database.h"
#include "store/Paths.h"
#include "tools/DatasheetModel.h"
#include "tools/ToolsController.h"
#include "tools/WrenGridModel.h"
#include "tools/WrenImport.h"
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
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
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

    // The datasheet and its export are measured at three sizes by bench_export.
    Messages::installScript(nullptr);
    Desktop::installRecorder(nullptr);
    return 0;
}
