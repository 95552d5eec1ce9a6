// The main window at other sizes than its default: every control back in its place at the
// default size, the charts taking the extra room, the sensor pages kept whole, the place
// remembered per user (and not used on a screen that is gone), the grids' sizes kept.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "charts/ChartControl.h"
#include "charts/ChartsController.h"
#include "sensors/SensorRegistry.h"
#include "store/Database.h"
#include "tools/ToolsController.h"
#include "tools/DatasheetWindow.h"
#include "widgets/WindowPlacement.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

// Every named control of the window with its place in window coordinates, tab by tab.
QMap<QString, QRect> placesOf(MainWindow& w)
{
    QMap<QString, QRect> out;
    for (int tab = 0; tab < w.tabWidget->count(); ++tab) {
        w.tabWidget->setCurrentIndex(tab);
        QApplication::processEvents();
        for (QWidget* c : w.tabWidget->widget(tab)->findChildren<QWidget*>()) {
            if (c->objectName().isEmpty() || !c->isVisibleTo(&w) || c->objectName().startsWith("qt_")) continue;
            out.insert(QString::number(tab) + '/' + c->objectName(), QRect(c->mapTo(&w, QPoint(0, 0)), c->size()));
        }
    }
    w.tabWidget->setCurrentIndex(0);
    return out;
}

void settle()
{
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void init()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {"250475001"});
        QList<TestData::NewReading> readings;
        for (int d = 0; d < 5; ++d)
            readings.append({QDateTime(QDate(2024, 5, 1 + d), QTime(8, 0)),
                             {"10", "20", "30", "40", "50", "60"},
                             "20.0",
                             true,
                             true});
        TestData::addReadings(*db, "250475001", readings);
    }

    // Made larger and back again, every control stands where it stood at the default size.
    void resizingKeepsEveryControlAtTheDefaultSize()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        settle();
        const QMap<QString, QRect> before = placesOf(w);
        QVERIFY(before.size() > 100);
        for (const QSize& size : {QSize(1600, 900), QSize(1920, 1080), QSize(950, 600), QSize(1116, 696)}) {
            w.resize(size);
            settle();
        }
        const QMap<QString, QRect> after = placesOf(w);
        for (auto it = before.cbegin(); it != before.cend(); ++it) QCOMPARE(after.value(it.key()), it.value());
    }

    // The sensor pages keep their size and layout, centred in a larger window and scrolled
    // in a smaller one.
    void sensorPagesStayWholeAndCentred()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QWidget* page = w.sensors()->identificationPage();
        const QSize fixed = page->size();
        QCOMPARE(fixed, SensorRegistry::pageSize());
        const QPoint atDefault = page->mapTo(&w, QPoint(0, 0));
        w.resize(1600, 900);
        settle();
        QCOMPARE(page->size(), fixed);
        const QPoint centred = page->mapTo(&w, QPoint(0, 0));
        QVERIFY(qAbs(centred.x() - atDefault.x() - (1600 - 1116) / 2) <= 1);
        QVERIFY(centred.y() > atDefault.y());
        w.resize(950, 600);
        settle();
        auto* holder = qobject_cast<QScrollArea*>(w.tabWidget->widget(MainWindow::TabIdentification));
        QVERIFY(holder);
        QVERIFY(holder->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(page->size(), fixed);
    }

    // A chart page at 1600 x 900 gives the plot all the extra width and height; the legend
    // and the buttons keep their size.
    void chartTakesTheExtraRoom()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabLoadVTime);
        settle();
        ChartControl* chart = w.charts()->chart(MainWindow::TabLoadVTime);
        auto* exportButton = w.findChild<QPushButton*>("cmdTemp");
        auto* print = w.findChild<QToolButton*>("imgPrintT");
        const QRect area = chart->plotArea();
        const QSize buttons[] = {exportButton->size(), print->size()};
        const int legendRoom = chart->width() - area.width();
        w.resize(1600, 900);
        settle();
        const QRect bigger = chart->plotArea();
        QCOMPARE(bigger.width() - area.width(), 1600 - 1116);
        QVERIFY(bigger.height() - area.height() >= 900 - 696 - 10);
        QCOMPARE(chart->width() - bigger.width(), legendRoom);
        QCOMPARE(exportButton->size(), buttons[0]);
        QCOMPARE(print->size(), buttons[1]);
    }

    void rememberedPlace_data()
    {
        QTest::addColumn<QRect>("remembered");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QRect>("expected");
        const QMargins none, frame(4, 30, 4, 4);
        QTest::newRow("on the primary screen") << QRect(100, 50, 1300, 800) << none << QRect(100, 50, 1300, 800);
        QTest::newRow("on the second screen") << QRect(2000, 100, 1200, 700) << none << QRect(2000, 100, 1200, 700);
        QTest::newRow("too big for its screen") << QRect(1920, 0, 2000, 1300) << none << QRect(1920, 0, 1600, 1170);
        QTest::newRow("partly off the right edge") << QRect(1200, 100, 1000, 600) << none << QRect(920, 100, 1000, 600);
        // Its screen was detached: the size is kept, centred on the primary screen.
        QTest::newRow("on a screen that is gone") << QRect(4000, 200, 1300, 800) << none << QRect(310, 120, 1300, 800);
        QTest::newRow("nothing remembered") << QRect() << none << QRect(402, 172, 1116, 696);
        // With the window manager's frame: the title bar stays on the screen too.
        QTest::newRow("frame: nothing remembered") << QRect() << frame << QRect(402, 185, 1116, 696);
        QTest::newRow("frame: at the top edge") << QRect(100, 0, 1300, 800) << frame << QRect(100, 30, 1300, 800);
        QTest::newRow("frame: too tall") << QRect(1920, 0, 1200, 1300) << frame << QRect(1924, 30, 1200, 1136);
    }
    void rememberedPlace()
    {
        QFETCH(QRect, remembered);
        QFETCH(QMargins, frame);
        QFETCH(QRect, expected);
        const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1600, 1170)};
        QCOMPARE(WindowPlacement::chooseGeometry(remembered, screens, QSize(1116, 696), frame), expected);
    }

    // A 1280 x 720 screen (a panel of 30 at the top): the window's default size does not
    // fit with its frame; it is shrunk so that the title bar and the bottom edge both show.
    void smallScreenKeepsTheTitleBarOnIt()
    {
        const QRect screen(0, 30, 1280, 690);
        const QMargins frame(1, 28, 1, 1);
        const QRect r = WindowPlacement::chooseGeometry(QRect(), {screen}, MainWindow::defaultSize(), frame);
        QVERIFY(screen.contains(r.marginsAdded(frame)));
        QCOMPARE(r.width(), MainWindow::defaultSize().width());
        QCOMPARE(r.height(), 690 - 28 - 1);
        QVERIFY(r.height() >= MainWindow::MinimumHeight);
        // A place remembered from a larger screen, title bar above this one's top edge.
        const QRect moved = WindowPlacement::chooseGeometry(QRect(50, 20, 1200, 800), {screen}, QSize(), frame);
        QVERIFY(screen.contains(moved.marginsAdded(frame)));
    }

    void placeRememberedPerUser()
    {
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            w.setGeometry(40, 30, 1300, 800);
            WindowPlacement::save(&w, "MainWindow");
        }
        QSettings settings("Orrisford", "Tarnwell");
        QVERIFY(settings.fileName().startsWith(home.path()));  // the user's own settings
        QCOMPARE(settings.value("MainWindow/geometry").toRect(), QRect(40, 30, 1300, 800));
        QCOMPARE(settings.value("MainWindow/maximized").toBool(), false);
        // Opened again on the screens there are now (one small screen here: it fits it).
        QList<QRect> screens;
        for (QScreen* s : QGuiApplication::screens()) screens << s->availableGeometry();
        MainWindow w;
        WindowPlacement::restore(&w, "MainWindow", MainWindow::defaultSize());
        const QRect chosen = WindowPlacement::chooseGeometry(QRect(40, 30, 1300, 800), screens,
                                                             MainWindow::defaultSize(), WindowPlacement::AssumedFrame);
        QCOMPARE(w.pos(), chosen.topLeft());
        QCOMPARE(w.size(), chosen.size().expandedTo(w.minimumSize()));  // never below the window's smallest
        QVERIFY(!w.isMaximized());
    }

    // The datasheet's grid fills its window, which keeps the size the user gave it.
    void datasheetKeepsItsSize()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QSize seen;
        QRect grid;
        auto open = [&](const QSize& resizeTo) {
            QTimer::singleShot(0, [&, resizeTo] {
                auto* d = qobject_cast<DatasheetWindow*>(QApplication::activeModalWidget());
                if (!d) return;
                if (resizeTo.isValid()) d->resize(resizeTo);
                settle();
                seen = d->size();
                grid = QRect(d->findChild<QWidget*>("MSFlexGrid1")->geometry());
                d->close();
            });
            w.openDatasheet();
        };
        open(QSize(760, 540));  // within the test's 800 x 600 screen
        QCOMPARE(seen, QSize(760, 540));
        QVERIFY(grid.width() > 700 && grid.height() > 400);
        open(QSize());
        QCOMPARE(seen, QSize(760, 540));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
