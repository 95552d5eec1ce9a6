// Makes the README's screenshots: starts Tarnwell on the demonstration data in a
// throw-away home folder, shows each tab for a suitable sensor and saves a picture of the
// window. Run it through scripts/screenshots (under a virtual X display).
//
//   tarnwell-screenshots [--size WxH] [--windows] [--report folder] [--start file] [folder]
//
// --size sets the main window's size (1600x900 for the README); --windows also saves the
// data windows the manual shows (datasheet, logger import, deletion, report options);
// --report writes the demonstration sensor's report (every chart, with its PDF) into a
// folder, for a look at what an engineer hands on; --start saves only the whole screen with
// the window as it starts on it (run under a window manager, so that its frame shows).
#include "app/MainWindow.h"
#include "core/Desktop.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "maintenance/UtilitiesController.h"
#include "report/ReportOptionsDialog.h"
#include "sensors/SensorRegistry.h"
#include "tools/ToolsController.h"
#include "setup/DemoData.h"
#include "alarms/AlarmLevelsDialog.h"
#include "alarms/AlarmsWindow.h"
#include "data/AlarmEpisodes.h"
#include "notify/NotifyMessages.h"
#include "notify/NotifySettings.h"
#include "data/AlarmStore.h"
#include "setup/Installer.h"
#include "store/Database.h"
#include "widgets/WindowPlacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <QComboBox>
#include <QDir>
#include <QTabWidget>
#include <QDialog>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QPlainTextEdit>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

void chooseSensor(MainWindow& w, const QString& id)
{
    QComboBox* box = w.sensors()->cboSensors;
    box->setCurrentIndex(box->findText(id));
    w.sensors()->onSensorChosen();
    settle();
}

void report(bool ok, const QString& path) { std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path)); }

// Opens a modal window with `open`, saves a picture of it once it shows, and closes it.
void shootModal(const QString& path, const std::function<void()>& open)
{
    bool shot = false;
    QTimer timer;
    timer.setInterval(300);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || shot) return;
        shot = true;
        report(dialog->grab().save(path), path);
        dialog->reject();
    });
    timer.start();
    open();
    if (!shot) report(false, path);
}

// The window as it starts on this screen (placed as the program places it, in the
// window manager's frame) and the screen around it.
void shootStart(const QString& path)
{
    MainWindow w;
    WindowPlacement::restore(&w, QStringLiteral("MainWindow"), MainWindow::defaultSize());
    w.show();
    for (int i = 0; i < 10; ++i) settle();  // the window manager frames and places it
    const QRect frame = w.frameGeometry();
    const QRect screen = w.screen()->availableGeometry();
    std::printf("window %d,%d %dx%d on %dx%d\n", frame.x(), frame.y(), frame.width(), frame.height(), screen.width(),
                screen.height());
    report(w.screen()->grabWindow(0).save(path), path);
}

}  // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    for (const char* v : {"XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) qunsetenv(v);
    QApplication app(argc, argv);
    QString out = QStringLiteral("docs/screenshots");
    QSize size(1600, 900);
    bool windows = false;
    QString reportFolder;
    QString startShot;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--size") && i + 1 < args.size()) {
            const QStringList wh = args[++i].split(u'x');
            if (wh.size() == 2) size = QSize(wh[0].toInt(), wh[1].toInt());
        } else if (args[i] == QLatin1String("--windows")) {
            windows = true;
        } else if (args[i] == QLatin1String("--start") && i + 1 < args.size()) {
            startShot = args[++i];
        } else if (args[i] == QLatin1String("--report") && i + 1 < args.size()) {
            reportFolder = args[++i];
        } else {
            out = args[i];
        }
    }
    QDir().mkpath(out);

    Installer::install();
    {
        Database db(QStringLiteral("screenshots-demo"));
        db.open(Paths::databasePath());
        DemoData::install(db, Paths::dataFolder(), QDate::currentDate());
        // The demonstration data sets the alarm levels: one sensor in Alert, one in Action,
        // one OK. The mail picture's recipients:
        NotifySettings::saveRecipients(db, {{QStringLiteral("shift.boss@mine.example"), QStringLiteral("Alert"), {}},
                                            {QStringLiteral("geotech@mine.example"), QStringLiteral("Action"), {}}});
    }

    // Boxes are answered with their first button; nothing is opened on the desktop.
    Messages::Script script;
    script.answers = {Messages::Answer::No};  // the start-up summary: do not open the Alarms window
    Messages::installScript(&script);
    Desktop::Recorder recorder;
    Desktop::installRecorder(&recorder);

    if (!startShot.isEmpty()) {
        shootStart(startShot);
        return 0;
    }

    MainWindow w;
    w.resize(size);
    w.show();
    settle();

    struct Shot {
        const char* sensor;
        int tab;
        const char* file;
    };
    const Shot shots[] = {
        {"240375101", MainWindow::TabIdentification, "identification.png"},
        {"240375102", MainWindow::TabIdentification, "identification-staggered.png"},
        {"240375101", MainWindow::TabInstallation, "installation.png"},
        {"240375101", MainWindow::TabReadings, "readings.png"},
        {"240375101", MainWindow::TabLoadVTime, "load-v-time.png"},
        {"240375101", MainWindow::TabDispVTime, "disp-v-time.png"},
        {"240375102", MainWindow::TabLoadVLength, "load-v-length.png"},
        {"240375102", MainWindow::TabDispVLength, "disp-v-length.png"},
        {"240375102", MainWindow::TabShearVLength, "shear-v-length.png"},
        {"240375101", MainWindow::TabUtilities, "utilities.png"},
    };
    for (const Shot& s : shots) {
        w.selectTab(MainWindow::TabIdentification);
        settle();
        chooseSensor(w, QString::fromLatin1(s.sensor));
        w.selectTab(s.tab);
        settle();
        const QString path = out + '/' + QString::fromLatin1(s.file);
        report(w.grab().save(path), path);
    }
    if (windows) {
        chooseSensor(w, QStringLiteral("240375101"));
        w.selectTab(MainWindow::TabReadings);
        settle();
        shootModal(out + QStringLiteral("/window-datasheet.png"), [&] { w.openDatasheet(); });
        shootModal(out + QStringLiteral("/window-delete.png"),
                   [&] { w.findChild<QToolButton*>(QStringLiteral("imgDeleteReading"))->click(); });
        w.selectTab(MainWindow::TabIdentification);
        chooseSensor(w, QStringLiteral("240375102"));
        w.selectTab(MainWindow::TabReadings);
        settle();
        const QString logger = Paths::dataFolder() + QStringLiteral("/240375102.txt");
        ToolsController::setFileChooser([logger](QWidget*) { return logger; });
        shootModal(out + QStringLiteral("/window-import.png"), [&] { w.importLoggerData(); });
        ToolsController::setFileChooser({});
        w.selectTab(MainWindow::TabUtilities);
        settle();
        shootModal(out + QStringLiteral("/window-report.png"), [&] { w.utilities()->onReportClicked(); });
    }
    if (!reportFolder.isEmpty()) {
        w.selectTab(MainWindow::TabIdentification);
        chooseSensor(w, QStringLiteral("240375102"));
        w.selectTab(MainWindow::TabUtilities);
        settle();
        QTimer::singleShot(200, [] {
            auto* f = qobject_cast<ReportOptionsDialog*>(QApplication::activeModalWidget());
            if (!f) return;
            for (QCheckBox* c : {f->chkCover, f->chkTemp, f->chkRate, f->chkSpatial, f->chkDvL, f->chkSvL, f->chkPdf})
                c->setChecked(true);
            f->cmdWholeRecord->click();  // the sensor's whole history, with its alarm episodes
            f->cmdOK->click();
        });
        recorder.requests.clear();
        w.utilities()->onReportClicked();
        QDir().mkpath(reportFolder);
        for (const QString& made : recorder.requests) {
            const QString copy = QDir(reportFolder).filePath(QFileInfo(made).fileName());
            QFile::remove(copy);
            report(QFile::copy(made, copy), copy);
        }
    }
    // The Alarms window and the levels dialog, over the main window.
    chooseSensor(w, QStringLiteral("240375101"));
    {
        AlarmsWindow alarms(w.shared().db, {}, &w);
        alarms.show();
        settle();
        const QString path = out + QStringLiteral("/alarms.png");
        std::printf("%s %s\n", alarms.grab().save(path) ? "wrote" : "FAILED", qPrintable(path));
    }
    // A notification mail as it reads, from the Action episode of the logged sensor.
    {
        const std::vector<AlarmEpisodes::Episode> active =
            AlarmEpisodes::active(w.shared().db, QStringLiteral("240375102"));
        if (!active.empty()) {
            const AlarmEpisodes::Episode& e = active.front();
            const NotifyMessages::Message m =
                NotifyMessages::compose(e, QStringLiteral("opened"), NotifySettings::groupOf(w.shared().db, e.sensorId),
                                        NotifySettings::planFor(w.shared().db, e.sensorId, e.peakLevel));
            QPlainTextEdit mail;
            mail.setWindowTitle(m.subject);
            mail.setReadOnly(true);
            mail.resize(760, 300);
            mail.setPlainText(
                QStringLiteral("From: tarnwell@mine.example\nTo: ") +
                NotifySettings::recipientsFor(w.shared().db, e.sensorId, e.peakLevel).join(QStringLiteral(", ")) +
                QStringLiteral("\nSubject: ") + m.subject + QStringLiteral("\n\n") +
                QString(m.body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            mail.show();
            settle();
            const QString path = out + QStringLiteral("/alarm-mail.png");
            std::printf("%s %s\n", mail.grab().save(path) ? "wrote" : "FAILED", qPrintable(path));
        }
    }
    {
        AlarmLevelsDialog levels(QStringLiteral("240375101"),
                                 AlarmRules::textsOf(*AlarmStore::levels(w.shared().db, QStringLiteral("240375101"))),
                                 &w);
        levels.show();
        settle();
        const QString path = out + QStringLiteral("/alarm-levels.png");
        std::printf("%s %s\n", levels.grab().save(path) ? "wrote" : "FAILED", qPrintable(path));
    }
    Messages::installScript(nullptr);
    Desktop::installRecorder(nullptr);
    return 0;
}
