// The web view's guards against the real tarnwell-web on 127.0.0.1 (on the database file
// with a password file, and on the database server with the server's own roles): nothing
// is answered without a login where one is needed, a forged acknowledgement changes
// nothing, no parameter can reach past its check, a login that may only look cannot
// acknowledge, failed logins are slowed down, and a good acknowledgement is recorded with
// who made it.
#include "WebProcess.h"
#include "alarms/AlarmEvaluation.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmStore.h"
#include "store/Database.h"
#include "support/TestEnv.h"
#include "web/PasswordFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <httplib.h>
#include <set>

namespace {

const QString Watched = QStringLiteral("240375001");
const QString Other = QStringLiteral("240375002");

struct Login {
    QString user;
    QString password;
};

TestData::NewReading loads(const QDateTime& when, double load)
{
    TestData::NewReading r;
    r.when = when;
    const QString c = QString::number(100 * load, 'f', 2);
    r.channels = {c, "0.00", "0.00", c, "0.00", "0.00"};
    r.temperature = "20.0";
    return r;
}

// Two sensors past their Action level: two active episodes.
void setUpDatabase()
{
    TestData::installFresh();
    auto db = TestData::openDatabase();
    TestData::addSensor(*db, {Watched});
    TestData::addSensor(*db, {Other});
    const QDateTime t0(QDate::currentDate().addDays(-3), QTime(8, 0));
    TestData::addReadings(*db, Watched, {loads(t0, 0), loads(t0.addDays(1), 13)});
    TestData::addReadings(*db, Other, {loads(t0, 0), loads(t0.addDays(1), 14)});
    AlarmStore::Levels l;
    l.loadAlertUpper = 8;
    l.loadActionUpper = 12;
    AlarmStore::saveLevels(*db, Watched, l);
    AlarmStore::saveLevels(*db, Other, l);
    AlarmEvaluation::evaluateAll(*db, QDateTime::currentDateTime());
}

QList<qint64> activeEpisodes()
{
    auto db = TestData::openDatabase(QStringLiteral("check"));
    QList<qint64> ids;
    for (const auto& e : AlarmEpisodes::active(*db)) ids << e.id;
    return ids;
}

std::optional<AlarmEpisodes::Episode> episode(qint64 id)
{
    auto db = TestData::openDatabase(QStringLiteral("check"));
    return AlarmEpisodes::byId(*db, id);
}

// Every row of every table, in a canonical order, as one hash: equal before and after
// means the database did not change.
QByteArray dump()
{
    auto db = TestData::openDatabase(QStringLiteral("dump"));
    QCryptographicHash all(QCryptographicHash::Sha256);
    QStringList tables = db->tableNames();
    tables.sort(Qt::CaseInsensitive);
    for (const QString& table : std::as_const(tables)) {
        QSqlQuery q(db->isServer() ? db->serverConnection() : db->handle());
        const QString name =
            db->isServer() ? QStringLiteral("\"%1\"").arg(table.toLower()) : QStringLiteral("[%1]").arg(table);
        if (!q.exec(QStringLiteral("SELECT * FROM ") + name)) return "cannot read " + table.toUtf8();
        QStringList rows;
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
            rows << fields.join(QChar(0x1f));
        }
        rows.sort();
        all.addData(table.toUtf8());
        all.addData(rows.join(QChar(0x1e)).toUtf8());
    }
    return all.result().toHex();
}

struct Session {
    std::string cookie;  // "tarnwell_session=…"
    std::string csrf;
    std::string setCookie;
};

std::string enc(const QString& s) { return QUrl::toPercentEncoding(s).toStdString(); }

}  // namespace

class TestWebSecurity : public QObject {
    Q_OBJECT
    TestHome home;
    QTemporaryDir dir;
    WebProcess web;
    Login acknowledger;
    Login looker;
    QString passwordFile;

    QStringList args(const QStringList& extra = {}) const
    {
        QStringList a{QStringLiteral("--database"), TestData::databaseTarget()};
        if (!TestServer::wanted()) a << QStringLiteral("--password-file") << passwordFile;
        return a + extra;
    }

    static Session logIn(WebProcess& w, const Login& who, int* status = nullptr)
    {
        const httplib::Params form{{"user", who.user.toStdString()}, {"password", who.password.toStdString()}};
        auto r = w.http().Post("/login", httplib::Headers{{"Origin", w.origin()}}, form);
        Session s;
        if (!r) return s;
        if (status) *status = r->status;
        s.setCookie = r->get_header_value("Set-Cookie");
        s.cookie = s.setCookie.substr(0, s.setCookie.find(';'));
        auto me = w.http().Get("/api/session", httplib::Headers{{"Cookie", s.cookie}});
        if (me && me->status == 200)
            s.csrf = QJsonDocument::fromJson(QByteArray::fromStdString(me->body))["csrf"].toString().toStdString();
        return s;
    }

    // A JSON acknowledgement of ids with the given headers added to the session's cookie.
    httplib::Result acknowledge(const Session& s, const QList<qint64>& ids, const httplib::Headers& extra,
                                const QString& note = QStringLiteral("checked on site"))
    {
        httplib::Headers h{{"Cookie", s.cookie}};
        h.insert(extra.begin(), extra.end());
        QJsonArray list;
        for (qint64 id : ids) list.append(id);
        const QJsonObject body{{"ids", list}, {"note", note}};
        return web.http().Post("/api/alarms/acknowledge", h, QJsonDocument(body).toJson().toStdString(),
                               "application/json");
    }

private slots:
    void initTestCase()
    {
        TARNWELL_SERVER_OR_SKIP();
        QVERIFY(dir.isValid());
        setUpDatabase();
        if (TestServer::wanted()) {
            // The server's rights decide: one role may write the alarm tables, one may only read.
            acknowledger = {QStringLiteral("tw_web_ann"), QStringLiteral("ann-Pw1")};
            looker = {QStringLiteral("tw_web_bob"), QStringLiteral("bob-Pw1")};
            QStringList sql;
            for (const Login& l : {acknowledger, looker})
                sql << QStringLiteral(
                           "DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '%1') THEN "
                           "CREATE ROLE %1 LOGIN PASSWORD '%2'; END IF; END$$")
                           .arg(l.user, l.password)
                    << QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(l.user)
                    << QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(l.user);
            sql << QStringLiteral("GRANT UPDATE ON AlarmEpisodes, AlarmEvents TO %1").arg(acknowledger.user);
            const QString failed = TestServer::adminExec(sql);
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
        } else {
            acknowledger = {QStringLiteral("ann"), QStringLiteral("ann-Pw1")};
            looker = {QStringLiteral("bob"), QStringLiteral("bob-Pw1")};
            passwordFile = dir.filePath(QStringLiteral("logins"));
            QFile f(passwordFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("# the test's logins\nann:acknowledge:" + PasswordFile::hash("ann-Pw1") +
                    "\nbob:view:" + PasswordFile::hash("bob-Pw1") + "\n");
            f.close();
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        QVERIFY2(web.start(args()), qPrintable(web.output()));
        QCOMPARE(activeEpisodes().size(), 2);
    }

    void nothingAnsweredWithoutALogin()
    {
        const std::string s = enc(Watched);
        const std::vector<std::string> gets{"/",
                                            "/alarms",
                                            "/sensor/" + s,
                                            "/sensor/nothing",
                                            "/api/session",
                                            "/api/sensors",
                                            "/api/sensors?level=1",
                                            "/api/sensors/" + s,
                                            "/api/sensors/" + s + "/series?kind=load",
                                            "/api/sensors/" + s + "/profile?kind=load",
                                            "/api/sensors/" + s + "/readings.csv",
                                            "/api/alarms/now",
                                            "/api/alarms/history",
                                            "/api/nothing",
                                            "/nothing",
                                            "/static/../api/sensors",
                                            "/static/%2e%2e/api/sensors"};
        const Session loggedOut = [&] {
            Session gone = logIn(web, looker);
            web.http().Post("/logout", httplib::Headers{{"Cookie", gone.cookie}, {"Origin", web.origin()}},
                            "csrf=" + gone.csrf, "application/x-www-form-urlencoded");
            return gone;
        }();
        QVERIFY(!loggedOut.cookie.empty());
        for (const std::string& cookie : {std::string(), std::string("tarnwell_session=forged"), loggedOut.cookie}) {
            const httplib::Headers h = cookie.empty() ? httplib::Headers{} : httplib::Headers{{"Cookie", cookie}};
            for (const std::string& path : gets) {
                const auto r = web.http().Get(path, h);
                QVERIFY2(r, path.c_str());
                const bool api = path.rfind("/api", 0) == 0;
                const QByteArray what = QByteArray::fromStdString(path + " with " + cookie);
                QVERIFY2(api ? r->status == 401 : r->status == 303 || r->status == 404, what);
                if (r->status == 303) QVERIFY2(r->get_header_value("Location").rfind("/login", 0) == 0, what);
                QVERIFY2(r->body.find(Watched.toStdString()) == std::string::npos, what);
            }
            for (const char* path : {"/api/alarms/acknowledge", "/alarms/acknowledge"}) {
                const std::string body = "ids=1&note=n&csrf=x";
                httplib::Headers ph = h;
                ph.emplace("Origin", web.origin());
                const auto r = web.http().Post(path, ph, body, "application/x-www-form-urlencoded");
                QVERIFY(r);
                QVERIFY2(r->status == 401 || r->status == 303, path);
            }
        }
        // The login page and the pages' own files need no login.
        QCOMPARE(web.http().Get("/login")->status, 200);
        const auto css = web.http().Get("/static/tarnwell.css");
        QVERIFY(css->status == 200 || css->status == 404);
        QCOMPARE(activeEpisodes().size(), 2);
    }

    void forgedAcknowledgementsChangeNothing()
    {
        const Session ann = logIn(web, acknowledger);
        const Session bob = logIn(web, looker);
        QVERIFY(!ann.csrf.empty());
        const QList<qint64> ids = activeEpisodes();
        const QByteArray before = dump();
        const std::string site = web.origin();
        const struct {
            const char* what;
            httplib::Headers headers;
        } forged[] = {
            {"no token", {{"Origin", site}}},
            {"wrong token", {{"Origin", site}, {"X-CSRF-Token", "AAAA" + ann.csrf.substr(4)}}},
            {"another session's token", {{"Origin", site}, {"X-CSRF-Token", bob.csrf}}},
            {"another origin", {{"Origin", "http://evil.example"}, {"X-CSRF-Token", ann.csrf}}},
            {"another port", {{"Origin", "http://127.0.0.1:1"}, {"X-CSRF-Token", ann.csrf}}},
            {"another scheme",
             {{"Origin", "https://127.0.0.1:" + std::to_string(web.port())}, {"X-CSRF-Token", ann.csrf}}},
            {"a longer name",
             {{"Origin", "http://127.0.0.1.evil.example:" + std::to_string(web.port())}, {"X-CSRF-Token", ann.csrf}}},
            {"opaque origin", {{"Origin", "null"}, {"X-CSRF-Token", ann.csrf}}},
            {"another site's referer", {{"Referer", "http://evil.example/" + site}, {"X-CSRF-Token", ann.csrf}}},
            {"no origin or referer", {{"X-CSRF-Token", ann.csrf}}},
        };
        for (const auto& f : forged) {
            const auto r = acknowledge(ann, ids, f.headers);
            QVERIFY2(r && r->status == 403, f.what);
        }
        // The page's form the same way: a token in the address instead of the form is no token.
        const auto viaQuery = web.http().Post(
            ("/alarms/acknowledge?csrf=" + ann.csrf).c_str(), {{"Cookie", ann.cookie}, {"Origin", site}},
            "ids=" + std::to_string(ids.first()) + "&note=n", "application/x-www-form-urlencoded");
        QCOMPARE(viaQuery->status, 403);
        QCOMPARE(dump(), before);
        for (qint64 id : ids) QVERIFY(!episode(id)->acknowledged());
    }

    void parametersCannotReachPastTheirChecks()
    {
        const Session ann = logIn(web, acknowledger);
        const httplib::Headers h{{"Cookie", ann.cookie}};
        const QStringList tricks{"' OR '1'='1",  "1; DROP TABLE Sensors; --", Watched + "' --",
                                 "\" OR 1=1 --", "../../../../etc/passwd",    "..",
                                 "%00",          QString("a\x01z"),           "<script>alert(1)</script>",
                                 "-1",           "99999999999999999999",      "1e9",
                                 "NaN",          QString(5000, 'x')};
        const std::string s = enc(Watched);
        const QByteArray before = dump();
        auto check = [&](const std::string& path, const std::set<int>& allowed) {
            const auto r = web.http().Get(path, h);
            QVERIFY2(r, path.c_str());
            QVERIFY2(allowed.count(r->status),
                     qPrintable(QString::fromStdString(path).left(200) + " answered " + QString::number(r->status)));
        };
        for (const QString& trick : tricks) {
            const std::string t = enc(trick);
            // Ids in the path: no such sensor.
            for (const char* tail : {"", "/series", "/profile", "/readings.csv"})
                check("/api/sensors/" + t + tail, {404, 400});
            check("/sensor/" + t, {404, 400});
            // Filters of the list: refused, or nothing matches.
            for (const char* filter : {"level", "location", "state"}) {
                const auto r = web.http().Get("/api/sensors?" + std::string(filter) + "=" + t, h);
                QVERIFY(r && (r->status == 400 || r->status == 200));
                if (r->status == 200)
                    QVERIFY2(QJsonDocument::fromJson(QByteArray::fromStdString(r->body))["sensors"].toArray().isEmpty(),
                             filter);
            }
            // Kinds, periods, widths and dates: refused.
            for (const char* param : {"kind=", "kind=load&width=", "kind=load&from=", "kind=load&to="})
                check("/api/sensors/" + s + "/series?" + param + t, {400});
            for (const char* param : {"kind=", "kind=load&date="})
                check("/api/sensors/" + s + "/profile?" + param + t, {400});
            for (const char* param : {"from=", "to="}) {
                check("/api/sensors/" + s + "/readings.csv?" + param + t, {400});
                check("/api/alarms/history?" + std::string(param) + t, {400});
            }
            // Where a login goes afterwards: only this site.
            const auto next = web.http().Get("/login?next=" + t, h);
            QVERIFY(next && next->status == 303);
            const std::string to = next->get_header_value("Location");
            QVERIFY2(to.rfind('/', 0) == 0 && to.rfind("//", 0) != 0 && to.find('\\') == std::string::npos, to.c_str());
            // Ids of an acknowledgement.
            const std::string body = "ids=" + t + "&note=n&csrf=" + enc(QString::fromStdString(ann.csrf));
            const auto ack =
                web.http().Post("/api/alarms/acknowledge", {{"Cookie", ann.cookie}, {"Origin", web.origin()}}, body,
                                "application/x-www-form-urlencoded");
            QVERIFY(ack);
            QCOMPARE(ack->status, 400);
        }
        QCOMPARE(dump(), before);
    }

    void aLoginThatMayOnlyLookCannotAcknowledge()
    {
        const Session bob = logIn(web, looker);
        QVERIFY(!bob.csrf.empty());
        const auto me = web.http().Get("/api/session", {{"Cookie", bob.cookie}});
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(me->body))["canAcknowledge"].toBool(true), false);
        QCOMPARE(web.http().Get("/api/alarms/now", {{"Cookie", bob.cookie}})->status, 200);
        const QByteArray before = dump();
        const auto r = acknowledge(bob, activeEpisodes(), {{"Origin", web.origin()}, {"X-CSRF-Token", bob.csrf}});
        QVERIFY(r);
        QCOMPARE(r->status, 403);
        QCOMPARE(dump(), before);
        if (!TestServer::wanted()) return;
        // Rights taken away after the login: the server refuses the second of the two
        // writes, and the first is undone with it.
        const Session ann = logIn(web, acknowledger);
        QVERIFY(TestServer::adminExec({"REVOKE UPDATE ON AlarmEvents FROM " + acknowledger.user}).isEmpty());
        const auto refused = acknowledge(ann, activeEpisodes(), {{"Origin", web.origin()}, {"X-CSRF-Token", ann.csrf}});
        QVERIFY(TestServer::adminExec({"GRANT UPDATE ON AlarmEvents TO " + acknowledger.user}).isEmpty());
        QVERIFY(refused);
        QCOMPARE(refused->status, 403);
        QCOMPARE(dump(), before);
    }

    void aGoodAcknowledgementIsRecordedWithItsUser()
    {
        const Session ann = logIn(web, acknowledger);
        QVERIFY(ann.setCookie.find("HttpOnly") != std::string::npos);
        QVERIFY(ann.setCookie.find("SameSite=Strict") != std::string::npos);
        QVERIFY(ann.setCookie.find("Secure") == std::string::npos);
        const QList<qint64> ids = activeEpisodes();
        QCOMPARE(ids.size(), 2);
        // The API, with a note that reads like SQL: stored as typed, nothing else touched.
        const QString note = QStringLiteral("'); DROP TABLE AlarmEpisodes; -- seen, bolt re-tensioned");
        const auto r = acknowledge(ann, {ids[0]}, {{"Origin", web.origin()}, {"X-CSRF-Token", ann.csrf}}, note);
        QVERIFY(r);
        QCOMPARE(r->status, 200);
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(r->body))["acknowledged"].toInt(), 1);
        const auto first = episode(ids[0]);
        QVERIFY(first->acknowledged());
        QCOMPARE(first->ackBy, acknowledger.user);
        QCOMPARE(first->ackNote, note);
        QVERIFY(!episode(ids[1])->acknowledged());
        // The Alarms page's form, with the Referer a browser sends when it sends no Origin.
        const std::string form = "ids=" + std::to_string(ids[1]) + "&note=" + enc("Checked") +
                                 "&csrf=" + enc(QString::fromStdString(ann.csrf));
        const auto page =
            web.http().Post("/alarms/acknowledge", {{"Cookie", ann.cookie}, {"Referer", web.origin() + "/alarms"}},
                            form, "application/x-www-form-urlencoded");
        QCOMPARE(page->status, 303);
        QCOMPARE(page->get_header_value("Location"), std::string("/alarms"));
        QCOMPARE(episode(ids[1])->ackBy, acknowledger.user);
        QCOMPARE(episode(ids[1])->ackNote, QStringLiteral("Checked"));
        // Logging out needs the form's token too (another site cannot end the session), and
        // ends the session at once.
        const httplib::Headers mine{{"Cookie", ann.cookie}, {"Origin", web.origin()}};
        QCOMPARE(web.http().Post("/logout", mine, "", "application/x-www-form-urlencoded")->status, 403);
        QCOMPARE(web.http().Get("/api/session", {{"Cookie", ann.cookie}})->status, 200);
        const auto out = web.http().Post("/logout", mine, "csrf=" + ann.csrf, "application/x-www-form-urlencoded");
        QCOMPARE(out->status, 303);
        QVERIFY(out->get_header_value("Set-Cookie").find("Max-Age=0") != std::string::npos);
        QCOMPARE(web.http().Get("/api/session", {{"Cookie", ann.cookie}})->status, 401);
    }

    void failedLoginsAreSlowedDown()
    {
        // A program of its own: its throttle holds back this test's address afterwards.
        WebProcess fresh;
        QVERIFY2(fresh.start(args()), qPrintable(fresh.output()));
        const Login wrong{acknowledger.user, QStringLiteral("not-it")};
        const Login unknown{QStringLiteral("nobody_here"), QStringLiteral("not-it")};
        auto attempt = [&](const Login& l) {
            const httplib::Params form{{"user", l.user.toStdString()}, {"password", l.password.toStdString()}};
            return fresh.http().Post("/login", httplib::Headers{}, form);
        };
        const auto a = attempt(wrong);
        const auto b = attempt(unknown);
        QCOMPARE(a->status, 401);
        // An unknown name is answered exactly as a wrong password.
        QCOMPARE(b->status, a->status);
        QCOMPARE(b->body, a->body);
        QVERIFY(a->get_header_value("Set-Cookie").empty());
        attempt(wrong);
        QCOMPARE(attempt(wrong)->status, 401);  // the fourth failure from this address
        const auto held = attempt(wrong);
        QCOMPARE(held->status, 429);
        QVERIFY(std::stoi(held->get_header_value("Retry-After")) >= 1);
        // While held back even the right password is not looked at.
        int status = 0;
        logIn(fresh, acknowledger, &status);
        QCOMPARE(status, 429);
    }

    void theOpenViewOfAFileIsReadOnly()
    {
        TARNWELL_FILE_ONLY();
        WebProcess open;
        QVERIFY2(open.start({"--database", TestData::databaseTarget()}), qPrintable(open.output()));
        QCOMPARE(open.http().Get("/api/alarms/now")->status, 200);
        QCOMPARE(open.http().Get("/login")->status, 303);
        const auto me = open.http().Get("/api/session");
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(me->body))["canAcknowledge"].toBool(true), false);
        const QByteArray before = dump();
        const std::string csrf =
            QJsonDocument::fromJson(QByteArray::fromStdString(me->body))["csrf"].toString().toStdString();
        const auto r = open.http().Post("/api/alarms/acknowledge", {{"Origin", open.origin()}, {"X-CSRF-Token", csrf}},
                                        "{\"ids\":[1],\"note\":\"n\"}", "application/json");
        QCOMPARE(r->status, 403);
        QCOMPARE(dump(), before);
        // It answers on the loopback address only.
        WebProcess everywhere;
        QVERIFY(!everywhere.start({"--database", TestData::databaseTarget(), "--listen", "0.0.0.0:0"}));
        QCOMPARE(everywhere.waitForExit(), 2);
    }

    void aBadPasswordFileStopsTheStart()
    {
        TARNWELL_FILE_ONLY();
        const QString path = dir.filePath(QStringLiteral("bad-logins"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# fine\nann:acknowledge:" + PasswordFile::hash("x") + "\ncarl:admin:" + PasswordFile::hash("y") +
                "\n");
        f.close();
        WebProcess refused;
        QVERIFY(!refused.start({"--database", TestData::databaseTarget(), "--password-file", path}));
        QCOMPARE(refused.waitForExit(), 2);
        QVERIFY2(refused.output().contains(path + ":3: rights must be view or acknowledge"),
                 qPrintable(refused.output()));
    }

    void behindTheProxyCookiesAreSecureAndItsOriginCounts()
    {
        WebProcess proxied;
        QVERIFY2(proxied.start(args({"--behind-proxy"})), qPrintable(proxied.output()));
        const Session ann = logIn(proxied, acknowledger);
        QVERIFY(ann.setCookie.find("; Secure") != std::string::npos);
        const httplib::Headers viaProxy{{"Cookie", ann.cookie},
                                        {"X-CSRF-Token", ann.csrf},
                                        {"X-Forwarded-Proto", "https"},
                                        {"X-Forwarded-Host", "tarnwell.mine.example"},
                                        {"Content-Type", "application/json"}};
        httplib::Headers wrongScheme = viaProxy;
        wrongScheme.emplace("Origin", "http://tarnwell.mine.example");
        const std::string body = "{\"ids\":[999999],\"note\":\"n\"}";
        QCOMPARE(proxied.http().Post("/api/alarms/acknowledge", wrongScheme, body, "application/json")->status, 403);
        httplib::Headers right = viaProxy;
        right.emplace("Origin", "https://tarnwell.mine.example");
        const auto r = proxied.http().Post("/api/alarms/acknowledge", right, body, "application/json");
        QCOMPARE(r->status, 200);  // allowed; no such alarm, so nothing changed
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(r->body))["acknowledged"].toInt(-1), 0);
    }
};

QTEST_GUILESS_MAIN(TestWebSecurity)
#include "tst_websecurity.moc"
