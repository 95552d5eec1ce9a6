// The web view's logins without a server running: the password file and its hashes, the
// session tokens and cookies, the slowing down of failed logins, where a login may lead,
// and what an acknowledgement request may carry.
#include "web/AcknowledgeRequest.h"
#include "web/HashPasswordCommand.h"
#include "web/LoginPage.h"
#include "web/LoginThrottle.h"
#include "web/PasswordFile.h"
#include "web/WebSessions.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

class TestWebAuth : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_hash = PasswordFile::hash("s3cret pass"); }

    void passwordFileAcceptsCommentsBlankLinesAndCrLf()
    {
        const QByteArray text =
            "# who may log in\n\n  \r\nann:acknowledge:" + m_hash + "\r\n# bob looks only\nbob:view:" + m_hash + "\n";
        PasswordFile f;
        QVERIFY2(f.parse(text, "pw"), qPrintable(f.error()));
        QCOMPARE(f.size(), 2);
        QCOMPARE(f.verify("ann", "s3cret pass"), PasswordFile::Rights::Acknowledge);
        QCOMPARE(f.verify("bob", "s3cret pass"), PasswordFile::Rights::View);
        // Wrong password, unknown name, a name differing in case, an empty password: refused alike.
        QVERIFY(!f.verify("ann", "s3cret pas"));
        QVERIFY(!f.verify("carl", "s3cret pass"));
        QVERIFY(!f.verify("Ann", "s3cret pass"));
        QVERIFY(!f.verify("ann", ""));
    }

    void passwordFileBadLineNamesItsNumber_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("why");
        QTest::newRow("two fields") << QByteArray("ann:view") << "expected name:rights:hash";
        QTest::newRow("four fields") << QByteArray("ann:view:x:y") << "expected name:rights:hash";
        QTest::newRow("empty name") << QByteArray(":view:$argon2id$v=19$x") << "the name is empty";
        QTest::newRow("unknown rights") << QByteArray("ann:admin:$argon2id$v=19$x") << "rights must be";
        QTest::newRow("plain password") << QByteArray("ann:view:hunter2") << "hash is not one made";
        QTest::newRow("weaker hash") << QByteArray("ann:view:$argon2i$v=19$x") << "hash is not one made";
        QTest::newRow("twice") << QByteArray("bob:view:$argon2id$v=19$x") << "appears twice";
    }
    void passwordFileBadLineNamesItsNumber()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, why);
        PasswordFile f;
        QVERIFY(!f.parse("# header\nbob:view:" + m_hash + "\n\n" + line + "\n", "/etc/tw.pw"));
        QVERIFY2(f.error().startsWith("/etc/tw.pw:4: "), qPrintable(f.error()));
        QVERIFY2(f.error().contains(why), qPrintable(f.error()));
        QCOMPARE(f.size(), 0);  // nothing half-loaded
    }

    void passwordFileReadableByOthersIsWarnedOf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("pw");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("ann:view:" + m_hash + "\n");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(PasswordFile::permissionWarning(path), QString());
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
        QVERIFY(PasswordFile::permissionWarning(path).contains(path));
        PasswordFile f;
        QVERIFY(f.load(path));
        QVERIFY(!f.load(dir.filePath("missing")));
        QVERIFY(f.error().contains("missing"));
    }

    void hashPasswordCommandPrintsAHashThatVerifies()
    {
        auto run = [](const QByteArray& input, QByteArray* printed) {
            std::FILE* in = std::tmpfile();
            std::FILE* out = std::tmpfile();
            std::FILE* err = std::tmpfile();
            std::fwrite(input.constData(), 1, size_t(input.size()), in);
            std::rewind(in);
            const int rc = runHashPassword(in, out, err);
            std::rewind(out);
            char buf[512] = {};
            const size_t n = std::fread(buf, 1, sizeof buf - 1, out);
            *printed = QByteArray(buf, qsizetype(n));
            std::fclose(in);
            std::fclose(out);
            std::fclose(err);
            return rc;
        };
        QByteArray printed;
        QCOMPARE(run("correct horse\n", &printed), 0);
        QVERIFY(printed.endsWith('\n'));
        const QByteArray hash = printed.trimmed();
        QVERIFY(hash.startsWith("$argon2id$"));
        QVERIFY(PasswordFile::matches(hash, "correct horse"));
        QVERIFY(!PasswordFile::matches(hash, "correct horse\n"));
        QVERIFY(!PasswordFile::matches("garbage", "correct horse"));
        QCOMPARE(run("\n", &printed), 2);
        QVERIFY(printed.isEmpty());
    }

    void tokensAreRandomAndComparedWhole()
    {
        QSet<QByteArray> seen;
        for (int i = 0; i < 50; ++i) {
            const QByteArray t = WebSessions::randomToken();
            QCOMPARE(t.size(), 43);
            QVERIFY(!t.contains('+') && !t.contains('/') && !t.contains('='));
            seen.insert(t);
        }
        QCOMPARE(seen.size(), 50);
        const QByteArray t = WebSessions::randomToken();
        QByteArray lastDiffers = t;
        lastDiffers[42] = t[42] == 'A' ? 'B' : 'A';
        QVERIFY(WebSessions::tokensEqual(t, QByteArray(t)));
        QVERIFY(!WebSessions::tokensEqual(t, lastDiffers));
        QVERIFY(!WebSessions::tokensEqual(t, t.left(42)));
        QVERIFY(!WebSessions::tokensEqual(t, QByteArray()));
        QVERIFY(!WebSessions::tokensEqual(QByteArray(), QByteArray()));
    }

    void throttleWaitsGrowPerAddressAndPerName()
    {
        QCOMPARE(LoginThrottle::waitAfterFailures(3), 0);
        QCOMPARE(LoginThrottle::waitAfterFailures(4), 1);
        QCOMPARE(LoginThrottle::waitAfterFailures(5), 2);
        QCOMPARE(LoginThrottle::waitAfterFailures(8), 16);
        QCOMPARE(LoginThrottle::waitAfterFailures(40), LoginThrottle::MaxWaitSeconds);
        QCOMPARE(LoginThrottle::waitAfterFailures(1000000), LoginThrottle::MaxWaitSeconds);

        LoginThrottle t;
        qint64 now = 1000000;
        for (int i = 0; i < LoginThrottle::FreeTries; ++i) t.failed("10.0.0.1", "ann", now);
        QCOMPARE(t.secondsToWait("10.0.0.1", "ann", now), 0);
        t.failed("10.0.0.1", "ann", now);
        QCOMPARE(t.secondsToWait("10.0.0.1", "ann", now), 1);
        // The name is held back from any address, the address for any name.
        QCOMPARE(t.secondsToWait("10.9.9.9", "ANN", now), 1);
        QCOMPARE(t.secondsToWait("10.0.0.1", "bob", now), 1);
        QCOMPARE(t.secondsToWait("10.9.9.9", "bob", now), 0);
        now += 1000;
        QCOMPARE(t.secondsToWait("10.0.0.1", "ann", now), 0);
        t.failed("10.0.0.1", "ann", now);
        QCOMPARE(t.secondsToWait("10.0.0.1", "ann", now), 2);
        // Many addresses guessing one name: the name's wait keeps growing.
        for (int i = 0; i < 6; ++i) t.failed(QStringLiteral("10.1.0.%1").arg(i), "ann", now);
        QCOMPARE(t.secondsToWait("10.2.2.2", "ann", now), 128);
        // A good login clears its address and name.
        t.succeeded("10.0.0.1", "ann");
        QCOMPARE(t.secondsToWait("10.0.0.1", "ann", now), 0);
        // Failures an hour old are forgotten: counting starts again.
        LoginThrottle u;
        for (int i = 0; i < 6; ++i) u.failed("10.0.0.2", "cy", 0);
        const qint64 later = LoginThrottle::ForgetAfterMs + 600000;
        u.failed("10.0.0.2", "cy", later);
        QCOMPARE(u.secondsToWait("10.0.0.2", "cy", later), 0);
    }

    void sessionsEndWhenIdleOrCrowdedOut()
    {
        WebSessions s;
        const auto a = s.create("ann", Credentials{}, true, 0);
        QVERIFY(a->id != a->csrfToken);
        QCOMPARE(s.find(a->id, 1000).get(), a.get());
        QVERIFY(!s.find(a->id + "x", 1000));
        QVERIFY(!s.find(QByteArray(), 1000));
        // Each use starts the idle time again.
        QVERIFY(s.find(a->id, WebSessions::IdleLimitMs));
        QVERIFY(s.find(a->id, 2 * WebSessions::IdleLimitMs));
        QVERIFY(!s.find(a->id, 3 * WebSessions::IdleLimitMs + 1));
        QCOMPARE(s.count(), 0);

        const auto first = s.create("first", Credentials{}, false, 0);
        for (int i = 1; i < WebSessions::MaxSessions; ++i) s.create("x", Credentials{}, false, 10 + i);
        QVERIFY(s.find(first->id, 20));  // used: no longer the least recent
        const auto crowd = s.create("crowd", Credentials{}, false, 30);
        QCOMPARE(s.count(), WebSessions::MaxSessions);
        QVERIFY(s.find(first->id, 40));
        QVERIFY(s.find(crowd->id, 40));
        s.remove(crowd->id);
        QVERIFY(!s.find(crowd->id, 40));
    }

    void cookieAttributes()
    {
        const QByteArray c = WebSessions::cookie("abc", false);
        QVERIFY(c.startsWith("tarnwell_session=abc;"));
        for (const char* attribute : {"HttpOnly", "SameSite=Strict", "Path=/"})
            QVERIFY2(c.split(';').contains(QByteArray(" ") + attribute), attribute);
        QVERIFY(!c.contains("Secure"));
        QVERIFY(WebSessions::cookie("abc", true).endsWith("; Secure"));
        QVERIFY(WebSessions::clearingCookie(true).contains("Max-Age=0"));
        QCOMPARE(WebSessions::idFromCookieHeader("a=1; tarnwell_session=xyz ; b=2"), QByteArray("xyz"));
        QCOMPARE(WebSessions::idFromCookieHeader("my_tarnwell_session=xyz"), QByteArray());
    }

    void loginGoesNextOnlyToALocalPath_data()
    {
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("goes");
        QTest::newRow("page") << "/alarms"
                              << "/alarms";
        QTest::newRow("query") << "/sensor/BOLT%2001?kind=load"
                               << "/sensor/BOLT%2001?kind=load";
        QTest::newRow("empty") << ""
                               << "/";
        QTest::newRow("other site") << "https://evil.example/"
                                    << "/";
        QTest::newRow("scheme-relative") << "//evil.example/x"
                                         << "/";
        QTest::newRow("backslash") << "/\\evil.example"
                                   << "/";
        QTest::newRow("backslash later") << "/a\\..\\\\evil.example"
                                         << "/";
        QTest::newRow("no slash") << "alarms"
                                  << "/";
        QTest::newRow("javascript") << "javascript:alert(1)"
                                    << "/";
        QTest::newRow("header split") << "/x\r\nSet-Cookie: a=b"
                                      << "/";
        QTest::newRow("tab") << "/\t/evil.example"
                             << "/";
        QTest::newRow("login again") << "/login"
                                     << "/";
    }
    void loginGoesNextOnlyToALocalPath()
    {
        QFETCH(QString, next);
        QFETCH(QString, goes);
        QCOMPARE(LoginPage::safeNext(next), goes);
    }

    void loginPageEscapesWhatItEchoes()
    {
        const QString page =
            QString::fromUtf8(LoginPage::html("/alarms?q=it's&x=1", "<b>bad</b> \"x\"", "Your login."));
        QVERIFY(page.contains("&lt;b&gt;bad&lt;/b&gt; &quot;x&quot;"));
        QVERIFY(page.contains("value=\"/alarms?q=it's&amp;x=1\""));
        QVERIFY(!QString::fromUtf8(LoginPage::html("/\"><script>x</script>", "", "")).contains("<script>"));
        QVERIFY(page.contains("href=\"/static/tarnwell.css\""));
        QVERIFY(page.contains("name=\"password\" type=\"password\""));
    }

    void acknowledgeRequestTakesOnlyWholeIds_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("ids");  // joined by commas; empty when refused
        QTest::addColumn<QString>("error");
        const QByteArray form = "application/x-www-form-urlencoded";
        const QByteArray json = "application/json";
        QTest::newRow("form") << form << QByteArray("ids=3&ids=5&note=seen+it&csrf=t") << "3,5"
                              << "";
        QTest::newRow("commas") << form << QByteArray("ids=3%2C5%2C3&note=n") << "3,5"
                                << "";
        QTest::newRow("json") << json << QByteArray(R"({"ids":[7,"8"],"note":" n ","csrf":"t"})") << "7,8"
                              << "";
        QTest::newRow("sql in id") << form << QByteArray("ids=1%20OR%201%3D1&note=n") << ""
                                   << "whole positive";
        QTest::newRow("quote in id") << form << QByteArray("ids=1'%3B--&note=n") << ""
                                     << "whole positive";
        QTest::newRow("negative") << form << QByteArray("ids=-1&note=n") << ""
                                  << "whole positive";
        QTest::newRow("exponent") << json << QByteArray(R"({"ids":[1e300],"note":"n"})") << ""
                                  << "whole positive";
        QTest::newRow("huge") << form << QByteArray("ids=99999999999999999999&note=n") << ""
                              << "whole positive";
        QTest::newRow("ids not a list") << json << QByteArray(R"({"ids":4,"note":"n"})") << ""
                                        << "whole positive";
        QTest::newRow("no ids") << form << QByteArray("note=n") << ""
                                << "No alarm";
        QTest::newRow("no note") << form << QByteArray("ids=4&note=%20%20") << ""
                                 << "needs a note";
        QTest::newRow("not json") << json << QByteArray("ids=4") << ""
                                  << "not a JSON object";
        QTest::newRow("other type") << QByteArray("text/plain") << QByteArray("ids=4&note=n") << ""
                                    << "No alarm";
    }
    void acknowledgeRequestTakesOnlyWholeIds()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, ids);
        QFETCH(QString, error);
        const AcknowledgeRequest r = AcknowledgeRequest::parse(contentType.toStdString(), body.toStdString());
        QVERIFY2(error.isEmpty() ? r.error.isEmpty() : r.error.contains(error), qPrintable(r.error));
        if (!error.isEmpty()) return;
        QStringList got;
        for (qint64 id : r.ids) got << QString::number(id);
        QCOMPARE(got.join(','), ids);
        QCOMPARE(r.note, r.note.trimmed());
    }

private:
    QByteArray m_hash;
};

QTEST_GUILESS_MAIN(TestWebAuth)
#include "tst_webauth.moc"
