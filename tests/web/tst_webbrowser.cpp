// The web view in a real browser (headless chromium over WebDriver), on the demonstration
// data: the overview lists the sensors with their states and keeps its filter when it
// refreshes; a sensor's charts draw; an acknowledgement made in the browser is what the
// desktop's Alarms window then shows. Texts from the database reach the pages as text,
// never as markup. Runs on the database file (with a password file) and on the server
// (logging in with a role of the server).
#include "support/TestEnv.h"
#include "tst_webbrowser_driver.h"
#include "WebProcess.h"

#include <httplib.h>  // WebProcess holds a client of it
#include "alarms/AlarmEpisodePages.h"
#include "alarms/AlarmsWindow.h"
#include "core/Paths.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmStore.h"
#include "store/Database.h"
#include "store/Query.h"
#include "setup/DemoData.h"

#include <QFile>
#include <QJsonArray>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString WebUser = QStringLiteral("shiftboss");
const QString WebPassword = QStringLiteral("Bolt-Check-2207");
// A location that would run a script if a page put it in as markup.
const QString ScriptLocation = QStringLiteral("<script>window.injected=1</script>Stope <b>4</b>");

bool required() { return qEnvironmentVariableIsSet("TARNWELL_TEST_SERVER_REQUIRED"); }

QString hashOf(const QString& password)
{
    QProcess p;
    p.start(QStringLiteral(TARNWELL_WEB_EXE), {QStringLiteral("--hash-password")});
    if (!p.waitForStarted(10000)) return QString();
    p.write(password.toUtf8() + '\n');
    p.closeWriteChannel();
    if (!p.waitForFinished(30000)) {
        p.kill();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
}  // namespace

class TestWebBrowser : public QObject {
    Q_OBJECT
    TestHome home;
    QTemporaryDir files;
    std::unique_ptr<WebProcess> web;
    std::unique_ptr<BrowserDriver> browser;
    QString role;

    QString url(const QString& path) const { return QString::fromStdString(web->origin()) + path; }

    // Logs in on the login page when the view asks for one.
    bool logIn()
    {
        if (!browser->open(url(QStringLiteral("/")))) return false;
        if (!browser->currentUrl().contains(QLatin1String("/login"))) return true;
        return browser->type(QStringLiteral("input[name=user]"), WebUser) &&
               browser->type(QStringLiteral("input[name=password]"), WebPassword) &&
               browser->click(QStringLiteral("form button[type=submit], form input[type=submit]")) &&
               browser->waitFor(QStringLiteral("return !location.pathname.startsWith('/login') && "
                                               "document.readyState === 'complete';"));
    }

private slots:
    void initTestCase()
    {
        TARNWELL_SERVER_OR_SKIP();
        if (BrowserDriver::chromium().isEmpty() || BrowserDriver::chromedriver().isEmpty()) {
            const char* why =
                "chromium and chromedriver are needed for the browser tests (Debian packages chromium, "
                "chromium-driver)";
            if (required()) QFAIL(why);
            QSKIP(why);
        }
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            const DemoData::Result demo = DemoData::install(*db, Paths::dataFolder(), QDate());
            QVERIFY2(demo.ok, qPrintable(demo.lines.join('\n')));
            const QString first = db->scalar(QStringLiteral("SELECT MIN(InstrumentID) FROM Sensors")).toString();
            db->execute(QStringLiteral("UPDATE Sensors SET Location = ? WHERE InstrumentID = ?"),
                        {ScriptLocation, first});
        }
        QStringList args = {QStringLiteral("--database"), TestData::databaseTarget()};
        if (TestServer::wanted()) {
            // The person logs in as a role of the server, which may change the alarms.
            role = WebUser;
            QCOMPARE(TestServer::adminExec({"DROP ROLE IF EXISTS " + role,
                                            "CREATE ROLE " + role + " LOGIN PASSWORD '" + WebPassword + "'",
                                            "GRANT postgres TO " + role}),
                     QString());
        } else {
            const QString hash = hashOf(WebPassword);
            QVERIFY2(hash.startsWith(QLatin1String("$argon2id$")), qPrintable(hash));
            QFile f(files.filePath(QStringLiteral("passwords")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("# who may look and acknowledge\n%1:acknowledge:%2\n").arg(WebUser, hash).toUtf8());
            f.close();
            args << QStringLiteral("--password-file") << f.fileName();
        }
        web = std::make_unique<WebProcess>();
        QVERIFY2(web->start(args), qPrintable(web->output()));
        browser = std::make_unique<BrowserDriver>();
        QVERIFY2(browser->start(), qPrintable(browser->error()));
        QVERIFY2(logIn(), qPrintable(browser->error() + " at " + browser->currentUrl() + ": " +
                                     browser->run(QStringLiteral("return document.body.innerText;")).toString()));
    }

    void cleanupTestCase()
    {
        browser.reset();
        web.reset();
        if (!role.isEmpty()) TestServer::adminExec({"DROP OWNED BY " + role, "DROP ROLE IF EXISTS " + role});
    }

    // Every sensor with the state the evaluation stored, worst first; the location that
    // holds markup shown as its text; a refresh keeps the filter.
    void overviewListsTheSensorsWithTheirStates()
    {
        QHash<QString, AlarmStore::State> states;
        QStringList ids;
        {
            auto db = TestData::openDatabase();
            states = AlarmStore::states(*db);
            QSqlQuery q = runQuery(*db, QStringLiteral("SELECT InstrumentID FROM Sensors"));
            while (q.next()) ids << q.value(0).toString();
        }
        QCOMPARE(ids.size(), 3);
        QVERIFY(browser->open(url(QStringLiteral("/"))));
        const QJsonArray rows = browser
                                    ->run(QStringLiteral("return [...document.querySelectorAll('#sensors tbody tr')]"
                                                         ".map(r => [r.cells[1].textContent, r.cells[0].textContent,"
                                                         " r.cells[3].textContent]);"))
                                    .toArray();
        QCOMPARE(rows.size(), ids.size());
        int previous = 99;
        bool markupAsText = false;
        for (const auto& r : rows) {
            const QString id = r[0].toString();
            markupAsText = markupAsText || r[2].toString() == ScriptLocation;
            QVERIFY2(ids.contains(id), qPrintable(id));
            const QString word = AlarmStore::word(states.value(id).status);
            QCOMPARE(r[1].toString(), word);
            const int severity = int(AlarmStore::severityFromWord(word));
            QVERIFY2(severity <= previous, "worst first");
            previous = severity;
        }
        QSet<QString> words;
        for (const auto& r : rows) words.insert(r[1].toString());
        QCOMPARE(words, (QSet<QString>{"Action", "Alert", "OK"}));
        QVERIFY(markupAsText);
        QVERIFY(browser->run(QStringLiteral("return window.injected === undefined;")).toBool());

        // The filter of the page is kept by its refresh.
        QVERIFY(browser->open(url(QStringLiteral("/?state=Alert"))));
        QCOMPARE(browser->run(QStringLiteral("return document.querySelectorAll('#sensors tbody tr').length;")).toInt(),
                 1);
        browser->run(QStringLiteral("TarnwellOverview.refresh();"));
        QVERIFY(browser->waitFor(QStringLiteral("return document.body.dataset.refreshed === '1';")));
        const QJsonArray shown = browser
                                     ->run(QStringLiteral("return [...document.querySelectorAll('#sensors tbody tr')]"
                                                          ".map(r => r.cells[0].textContent);"))
                                     .toArray();
        QCOMPARE(shown, QJsonArray({"Alert"}));
        QVERIFY(browser->run(QStringLiteral("return window.injected === undefined;")).toBool());
    }

    // The load chart of the sensor in Action draws its readings (painted pixels on its
    // canvas) with a ring for the readings that raised events; zooming in asks for the
    // period shown only, and a reset for all of it again.
    void sensorChartDraws()
    {
        QString action;
        {
            auto db = TestData::openDatabase();
            for (auto [id, st] : AlarmStore::states(*db).asKeyValueRange())
                if (st.status == AlarmStore::Severity::Action) action = id;
        }
        QVERIFY(!action.isEmpty());
        QVERIFY(browser->open(url(QStringLiteral("/sensor/") + QUrl::toPercentEncoding(action))));
        QVERIFY2(browser->waitFor(QStringLiteral("return !!(window.TarnwellCharts && TarnwellCharts.load && "
                                                 "TarnwellCharts.load.graph && TarnwellCharts.load.graph.numRows() > "
                                                 "1);")),
                 qPrintable(browser->run(QStringLiteral("return document.getElementById('chartLoadNote').textContent;"))
                                .toString()));
        const int painted =
            browser
                ->run(QStringLiteral("const c = [...document.querySelectorAll('#chartLoad canvas')];"
                                     "let n = 0; for (const k of c) { if (!k.width || !k.height) continue;"
                                     " const d = k.getContext('2d').getImageData(0, 0, k.width, k.height).data;"
                                     " for (let i = 3; i < d.length; i += 4) if (d[i] > 0) ++n; } return n;"))
                .toInt();
        QVERIFY2(painted > 500, qPrintable(QString::number(painted)));
        QVERIFY(browser->run(QStringLiteral("return TarnwellCharts.load.answer.events.length > 0;")).toBool());

        const QJsonArray whole =
            browser->run(QStringLiteral("return TarnwellCharts.load.graph.xAxisRange();")).toArray();
        browser->run(
            QStringLiteral("const g = TarnwellCharts.load.graph; const r = g.xAxisRange();"
                           "const a = r[0] + (r[1] - r[0]) * 0.4, b = r[0] + (r[1] - r[0]) * 0.6;"
                           "g.updateOptions({dateWindow: [a, b]}); g.getOption('zoomCallback').call(g, a, b);"));
        // The period asked for is the one shown (to the second), at the chart's width.
        QVERIFY(browser->waitFor(
            QStringLiteral("const a = TarnwellCharts.load.answer, r = TarnwellCharts.load.graph.xAxisRange();"
                           "const near = (text, t) => Math.abs(Date.parse(text + 'Z') - t) < 1000;"
                           "return !!a.from && near(a.from, r[0]) && near(a.to, r[1]) && a.rows.length > 0;")));
        browser->run(QStringLiteral("const g = TarnwellCharts.load.graph; g.resetZoom();"));
        QVERIFY(browser->waitFor(
            QStringLiteral("const r = TarnwellCharts.load.graph.xAxisExtremes(); return r[0] <= arguments[0] + 1 &&"
                           " r[1] >= arguments[1] - 1;")
                .replace(QLatin1String("arguments[0]"), QString::number(whole[0].toDouble(), 'f', 0))
                .replace(QLatin1String("arguments[1]"), QString::number(whole[1].toDouble(), 'f', 0))));
    }

    // An acknowledgement with a note made on the alarms page is the one the desktop's
    // Alarms window shows, by the person logged in; the note's markup stays text.
    void acknowledgementReachesTheAlarmsWindow()
    {
        qint64 episode = 0;
        {
            auto db = TestData::openDatabase();
            for (const AlarmEpisodes::Episode& e : AlarmEpisodes::active(*db))
                if (!e.acknowledged()) {
                    episode = e.id;
                    break;
                }
        }
        QVERIFY(episode > 0);
        const QString note = QStringLiteral("Rebolted <script>window.injected=2</script> & checked");
        QVERIFY(browser->open(url(QStringLiteral("/alarms"))));
        // "Now" refreshes itself while nobody is acknowledging (a fresh page: what the window
        // held is gone), and holds while a box is ticked or a note typed.
        browser->run(QStringLiteral("window.kept = 1; TarnwellAlarms.refresh();"));
        QVERIFY(
            browser->waitFor(QStringLiteral("return window.kept === undefined && document.readyState === "
                                            "'complete' && !!window.TarnwellAlarms;")));
        QVERIFY2(browser->click(QStringLiteral("input[name=ids][value='%1']").arg(episode)),
                 qPrintable(browser->error()));
        QVERIFY(!browser->run(QStringLiteral("return TarnwellAlarms.untouched();")).toBool());
        QVERIFY(browser->type(QStringLiteral("#note"), note));
        browser->run(QStringLiteral("document.querySelector(\"input[name=ids]:checked\").checked = false;"));
        QVERIFY(!browser->run(QStringLiteral("return TarnwellAlarms.untouched();")).toBool());
        QVERIFY(browser->click(QStringLiteral("input[name=ids][value='%1']").arg(episode)));
        QVERIFY(browser->click(QStringLiteral("#acknowledgeButton")));
        QVERIFY(browser->waitFor(
            QStringLiteral("return location.pathname === '/alarms' && document.readyState === 'complete' && "
                           "!document.querySelector(\"input[name=ids][value='%1']\");")
                .arg(episode)));
        QVERIFY(browser->run(QStringLiteral("return window.injected === undefined;")).toBool());

        auto db = TestData::openDatabase(QStringLiteral("desktop"));
        AlarmsWindow window(*db, nullptr);
        const auto& shown = window.pageNow->shownEpisodes();
        const auto it = std::find_if(shown.begin(), shown.end(), [&](const auto& e) { return e.id == episode; });
        QVERIFY(it != shown.end());
        QVERIFY(it->acknowledged());
        QCOMPARE(it->ackNote, note);
        QCOMPARE(it->ackBy, WebUser);
        const int row = int(it - shown.begin());
        QVERIFY(window.pageNow->grdNow->item(row, 6)->text().startsWith(WebUser + ", "));

        // The history page shows the note as it was typed.
        QVERIFY(browser->open(url(QStringLiteral("/alarms?view=history&period=all"))));
        const QJsonArray notes = browser
                                     ->run(QStringLiteral("return [...document.querySelectorAll('#history tbody tr')]"
                                                          ".map(r => r.cells[8].textContent);"))
                                     .toArray();
        QVERIFY(notes.contains(note));
        QVERIFY(browser->run(QStringLiteral("return window.injected === undefined;")).toBool());
    }

    // The header's log-out form (with the session's token) ends the session: the pages ask
    // for a login again.
    void logOutEndsTheSession()
    {
        QVERIFY(browser->open(url(QStringLiteral("/"))));
        QCOMPARE(browser->run(QStringLiteral("return document.querySelector('header .who b').textContent;")).toString(),
                 WebUser);
        QVERIFY(browser->click(QStringLiteral("form.logout button")));
        QVERIFY(browser->waitFor(QStringLiteral("return location.pathname === '/login';")));
        QVERIFY(browser->open(url(QStringLiteral("/alarms"))));
        QVERIFY(browser->currentUrl().contains(QLatin1String("/login")));
    }

    // The open view of a database file (no password file) lists the alarms but offers no
    // acknowledgement and no log-out.
    void openFileViewOffersNoAcknowledgement()
    {
        TARNWELL_FILE_ONLY();
        WebProcess open;
        QVERIFY2(open.start({QStringLiteral("--database"), TestData::databaseTarget()}), qPrintable(open.output()));
        QVERIFY(browser->open(QString::fromStdString(open.origin()) + QStringLiteral("/alarms")));
        QVERIFY(browser->run(QStringLiteral("return document.querySelectorAll('#now tbody tr').length;")).toInt() > 0);
        QVERIFY(browser
                    ->run(QStringLiteral("return !document.querySelector('#acknowledge, input[name=ids], "
                                         "form.logout');"))
                    .toBool());
        QCOMPARE(browser->run(QStringLiteral("return document.querySelector('header .who').textContent;")).toString(),
                 QStringLiteral("Read-only view"));
    }
};

QTEST_MAIN(TestWebBrowser)
#include "tst_webbrowser.moc"
