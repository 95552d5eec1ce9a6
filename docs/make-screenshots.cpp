// Makes the README's screenshots: starts Tarnwell on the demonstration data in a
// throw-away home folder, shows each tab for a suitable sensor and saves a picture of the
// window. Run it through scripts/screenshots (under a virtual X display).
#include "app/frmTarnwell.h"
#include "core/Desktop.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "sensors/SensorRegistry.h"
#include "setup/DemoData.h"
#include "setup/Installer.h"
#include "store/Database.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

void chooseSensor(frmTarnwell& w, const QString& id)
{
    QComboBox* box = w.sensors()->cboSensors;
    box->setCurrentIndex(box->findText(id));
    w.sensors()->cboSensors_Click();
    settle();
}

}  // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    for (const char* v : {"XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) qunsetenv(v);
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(out);

    Installer::install();
    {
        Database db(QStringLiteral("screenshots-demo"));
        db.open(Paths::databasePath());
        DemoData::install(db, Paths::dataFolder(), QDate::currentDate());
    }

    // Boxes are answered with their first button; nothing is opened on the desktop.
    Messages::Script script;
    Messages::installScript(&script);
    Desktop::Recorder recorder;
    Desktop::installRecorder(&recorder);

    frmTarnwell w;
    w.show();
    settle();

    struct Shot {
        const char* sensor;
        int tab;
        const char* file;
    };
    const Shot shots[] = {
        {"240375101", frmTarnwell::TabIdentification, "identification.png"},
        {"240375102", frmTarnwell::TabIdentification, "identification-staggered.png"},
        {"240375101", frmTarnwell::TabInstallation, "installation.png"},
        {"240375101", frmTarnwell::TabReadings, "readings.png"},
        {"240375101", frmTarnwell::TabLoadVTime, "load-v-time.png"},
        {"240375101", frmTarnwell::TabDispVTime, "disp-v-time.png"},
        {"240375102", frmTarnwell::TabLoadVLength, "load-v-length.png"},
        {"240375102", frmTarnwell::TabDispVLength, "disp-v-length.png"},
        {"240375102", frmTarnwell::TabShearVLength, "shear-v-length.png"},
        {"240375101", frmTarnwell::TabUtilities, "utilities.png"},
    };
    for (const Shot& s : shots) {
        w.selectTab(frmTarnwell::TabIdentification);
        settle();
        chooseSensor(w, QString::fromLatin1(s.sensor));
        w.selectTab(s.tab);
        settle();
        const QString path = out + '/' + QString::fromLatin1(s.file);
        const bool ok = w.grab().save(path);
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    }
    Messages::installScript(nullptr);
    Desktop::installRecorder(nullptr);
    return 0;
}
