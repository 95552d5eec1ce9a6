// Alarm notifications end to end: crossings recorded by tarnwell-import (and by two runs
// at once) reach a real mail server on 127.0.0.1 and a hook script exactly once; a mail
// server that is down is tried again; the reminder fires once; clearing is told; the
// messages link to the web view when its address is set.
#include "support/TestEnv.h"
#include "alarms/AlarmEvaluation.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmStore.h"
#include "notify/NotifyMessages.h"
#include "notify/NotifySettings.h"
#include "notify/Outbox.h"
#include "store/Database.h"
#include "tools/ColumnMap.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>

namespace {

const QString Bolt = QStringLiteral("123435003");  // type 35: two gauges; k factor 100: 100 strain = 1 t
const QStringList Names{"TIMESTAMP", "RECORD", "Temp", "Strain(1)", "Strain(2)"};

// A reading of both gauges at a moment.
TestData::NewReading reading(const QDateTime& when, const char* strain)
{
    TestData::NewReading r;
    r.when = when;
    r.channels = QStringList{strain, strain};
    return r;
}

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// A TOA5 file of hourly readings from 2024-03-05 00:00 with the given strains on both gauges.
QByteArray toa5(const QList<QByteArray>& strains, int firstHour = 0)
{
    QByteArray out =
        "\"TOA5\",\"Stope4\",\"CR1000X\",\"4711\",\"OS\",\"CPU:bolts.CR1X\",\"1\",\"Hourly\"\r\n"
        "\"TIMESTAMP\",\"RECORD\",\"Temp\",\"Strain(1)\",\"Strain(2)\"\r\n"
        "\"TS\",\"RN\",\"Deg C\",\"uStrain\",\"uStrain\"\r\n"
        "\"\",\"\",\"Avg\",\"Avg\",\"Avg\"\r\n";
    const QDateTime start(QDate(2024, 3, 5), QTime(0, 0));
    for (int i = 0; i < strains.size(); ++i)
        out += '"' + start.addSecs(qint64(firstHour + i) * 3600).toString("yyyy-MM-dd HH:mm:ss").toLatin1() + "\"," +
               QByteArray::number(firstHour + i) + ",20.5," + strains[i] + ',' + strains[i] + "\r\n";
    return out;
}

// A mail server for the test: aiosmtpd writing each mail it accepts to a maildir.
class MailServer {
public:
    MailServer(const QString& maildir, quint16 port) : m_dir(maildir), m_port(port) {}
    ~MailServer() { stop(); }
    bool start()
    {
        m_p.setProcessChannelMode(QProcess::ForwardedChannels);
        // Debian's own Python, which has the aiosmtpd package.
        m_p.start(QStringLiteral("/usr/bin/python3"),
                  {"-m", "aiosmtpd", "-n", "-l", QStringLiteral("127.0.0.1:%1").arg(m_port), "-c",
                   "aiosmtpd.handlers.Mailbox", m_dir});
        if (!m_p.waitForStarted(10000)) return false;
        // Ready when it takes connections (within ten seconds).
        for (int i = 0; i < 100; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            if (s.waitForConnected(100)) return true;
            QTest::qWait(100);
        }
        return false;
    }
    void stop()
    {
        if (m_p.state() == QProcess::NotRunning) return;
        m_p.terminate();
        if (!m_p.waitForFinished(5000)) {
            m_p.kill();
            m_p.waitForFinished(5000);
        }
    }
    // The mails received, oldest first.
    QStringList mails() const
    {
        QDir d(m_dir + QStringLiteral("/new"));
        QStringList out;
        for (const QFileInfo& f : d.entryInfoList(QDir::Files, QDir::Time | QDir::Reversed)) {
            QFile file(f.filePath());
            file.open(QIODevice::ReadOnly);
            out << QString::fromUtf8(file.readAll());
        }
        return out;
    }

private:
    QString m_dir;
    quint16 m_port;
    QProcess m_p;
};

}  // namespace

class TestNotify : public QObject {
    Q_OBJECT
    TestHome home;
    QTemporaryDir work;
    std::unique_ptr<Database> db;
    quint16 port = 0;
    std::unique_ptr<MailServer> mail;

    QString hookLog() const { return work.filePath("hook.log"); }
    QList<QJsonObject> hookCalls() const
    {
        QFile f(hookLog());
        QList<QJsonObject> out;
        if (!f.open(QIODevice::ReadOnly)) return out;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.trimmed().isEmpty()) out << QJsonDocument::fromJson(line).object();
        return out;
    }

    QString writeFile(const QString& name, const QByteArray& content)
    {
        const QString path = work.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path;
    }

    static QString runImport(QProcess& p, const QString& file)
    {
        QStringList args{"--sensor", Bolt, file};
        if (TestServer::wanted()) args = QStringList{"--database", TestServer::uri()} + args;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(TARNWELL_IMPORT_EXE), args);
        return QString();
    }

    static QString import(const QString& file)
    {
        QProcess p;
        runImport(p, file);
        p.waitForFinished(120000);
        return QString::fromUtf8(p.readAll());
    }

    // Alert at 8 t and Action at 12 t; ops gets every level, the shift boss of level 12
    // only Action; the hook logs each call and succeeds.
    void setUpAlarms()
    {
        TestData::addSensor(*db, {Bolt});
        db->execute("UPDATE Sensors SET Level = '12', Location = 'Stope 4' WHERE InstrumentID = ?", {Bolt});
        AlarmStore::Levels l;
        l.loadAlertUpper = 8;
        l.loadActionUpper = 12;
        AlarmStore::saveLevels(*db, Bolt, l);
        QVERIFY(AlarmEvaluation::evaluateSensor(*db, Bolt, QDateTime::currentDateTime()).evaluated);
        ColumnMap m;
        m.dateColumn = "TIMESTAMP";
        m.tempColumn = "Temp";
        m.gaugeColumns = QStringList{"Strain(1)", "Strain(2)"};
        ColumnMaps::save(*db, Bolt, "TOA5", ColumnMaps::signature("TOA5", Names), m);

        const QString hook = writeFile("hook.sh", "#!/bin/sh\ncat >> \"" + hookLog().toUtf8() + "\"\nexit 0\n");
        QFile::setPermissions(hook, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        NotifySettings::Settings s;
        s.smtpUrl = QStringLiteral("smtp://127.0.0.1:%1").arg(port);
        s.smtpFrom = "tarnwell@mine.example";
        s.hookCommand = hook;
        s.webAddress = "https://mine.example/tarnwell/";
        NotifySettings::save(*db, s);
        NotifySettings::saveRecipients(*db, {{"ops@mine.example", "Alert", {}},
                                             {"boss12@mine.example", "Action", {"12", ""}},
                                             {"boss14@mine.example", "Action", {"14", ""}}});
        NotifySettings::savePlans(
            *db, {{"Action", {}, "Stop work in the area.", "Mine manager"},
                  {"Action", {"12", "Stope 4"}, "Barricade Stope 4 and call geotech.", "Geotech on call 555-0102"}});
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        QFile::remove(hookLog());
        QDir(work.filePath("mail")).removeRecursively();
        port = freePort();
        mail = std::make_unique<MailServer>(work.filePath("mail"), port);
        setUpAlarms();
    }

    void cleanup() { mail.reset(); }

    // One crossing to Action by an import: one mail (to each recipient of the sensor's
    // level and group, with the plan of its group) and one hook call; the same file again
    // sends nothing; the value back below the levels sends "cleared" to the same people.
    void importedCrossingIsSentOnceAndItsClearing()
    {
        QVERIFY(mail->start());
        const QString file = writeFile("a.dat", toa5({"0", "500", "1300"}));
        QVERIFY(import(file).contains("3 appended"));
        QStringList mails = mail->mails();
        QCOMPARE(mails.size(), 1);
        QVERIFY(mails[0].contains("Subject: Tarnwell alarm: Action - sensor " + Bolt + " Load #1 13.00 t"));
        QVERIFY(mails[0].contains("To: ops@mine.example, boss12@mine.example"));
        QVERIFY(!mails[0].contains("boss14"));
        for (const char* text :
             {"Place: level 12, Stope 4", "Position: Load #1 (upper)", "Value: 13.00 t (Action level 12.00 t)",
              "Time of the reading: 2024/03/05 02:00", "Barricade Stope 4 and call geotech.",
              "Who is called: Geotech on call 555-0102", "To acknowledge: open Tarnwell",
              "https://mine.example/tarnwell/sensor/123435003", "https://mine.example/tarnwell/alarms"})
            QVERIFY2(mails[0].contains(text), text);
        QList<QJsonObject> calls = hookCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0]["sensorLink"].toString(), QString("https://mine.example/tarnwell/sensor/123435003"));
        QCOMPARE(calls[0]["change"].toString(), QString("opened"));
        QCOMPARE(calls[0]["level"].toString(), QString("Action"));
        QCOMPARE(calls[0]["sensor"].toString(), Bolt);
        QCOMPARE(calls[0]["value"].toDouble(), 13.0);

        QVERIFY(import(file).contains("0 appended"));
        QCOMPARE(mail->mails().size(), 1);
        QCOMPARE(hookCalls().size(), 1);

        // A line without values (the logger's NAN) neither clears nor raises.
        import(writeFile("nan.dat", toa5({"NAN"}, 3)));
        QCOMPARE(mail->mails().size(), 1);
        QCOMPARE(hookCalls().size(), 1);

        QVERIFY(import(writeFile("b.dat", toa5({"100"}, 4))).contains("1 appended"));
        mails = mail->mails();
        QCOMPARE(mails.size(), 2);
        QVERIFY(mails[1].contains("Subject: Tarnwell alarm: cleared - sensor " + Bolt + " Load #1 1.00 t"));
        QVERIFY(mails[1].contains("boss12@mine.example"));
        calls = hookCalls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[1]["change"].toString(), QString("cleared"));
        QVERIFY(AlarmEpisodes::active(*db).empty());
        QCOMPARE(Outbox::unsent(*db).size(), size_t(0));
    }

    // The links of a message: the id encoded as one path segment (a space, "&", "/", "#"
    // or "?" in it must not end it or start a query), one slash after the base whether or
    // not it ends in one, no link at all without a base; only http and https bases with a
    // host are taken.
    void webViewLinks()
    {
        AlarmEpisodes::Episode e;
        e.sensorId = "BOLT 01&2/#?";
        e.quantity = "Load";
        e.position = 1;
        e.direction = "upper";
        e.level = e.peakLevel = "Action";
        e.openedAt = "2024-03-05 02:00:00";
        for (const QString& base : {QString("http://10.1.2.3:8470"), QString("http://10.1.2.3:8470/")}) {
            const NotifyMessages::Message m = NotifyMessages::compose(e, "opened", {}, std::nullopt, base);
            const QString link = "http://10.1.2.3:8470/sensor/BOLT%2001%262%2F%23%3F";
            QVERIFY2(m.body.contains(link + "\r\n"), qPrintable(m.body));
            QVERIFY(m.body.contains("http://10.1.2.3:8470/alarms\r\n"));
            const QJsonObject o = QJsonDocument::fromJson(m.json).object();
            QCOMPARE(o["sensorLink"].toString(), link);
            QCOMPARE(QUrl(link).path(QUrl::FullyDecoded), QString("/sensor/BOLT 01&2/#?"));
        }
        const NotifyMessages::Message none = NotifyMessages::compose(e, "opened", {}, std::nullopt, "  ");
        QVERIFY(!none.body.contains("http"));
        QVERIFY(!QJsonDocument::fromJson(none.json).object().contains("sensorLink"));
        QVERIFY(NotifyMessages::test("ops", "https://h/").body.contains("https://h/alarms\r\n"));
        QVERIFY(!NotifyMessages::test("ops").body.contains("http"));

        for (const char* good : {"", "http://tarnwell:8470", "https://mine.example/tarnwell/", "HTTPS://Mine.example"})
            QVERIFY2(NotifySettings::webAddressAccepted(good), good);
        for (const char* bad : {"ftp://mine.example", "mine.example", "https://", "javascript:alert(1)",
                                "https://mine.example/?a=1", "https://user:pw@mine.example", "http://a b"})
            QVERIFY2(!NotifySettings::webAddressAccepted(bad), bad);

        // Kept with the other settings, trimmed.
        NotifySettings::Settings s = NotifySettings::load(*db);
        s.webAddress = " https://other.example ";
        NotifySettings::save(*db, s);
        QCOMPARE(NotifySettings::load(*db).webAddress, QString("https://other.example"));
    }

    // Two imports at once that both hold the crossing record it once and send one mail.
    void twoProgramsRecordingAtOnceSendOnce()
    {
        QVERIFY(mail->start());
        const QString a = writeFile("a.dat", toa5({"0", "500", "1300"}));
        const QString b = writeFile("b.dat", toa5({"0", "500", "1300", "1350"}));
        QProcess pa, pb;
        runImport(pa, a);
        runImport(pb, b);
        QVERIFY(pa.waitForFinished(120000) && pb.waitForFinished(120000));
        QCOMPARE(pa.exitCode(), 0);
        QCOMPARE(pb.exitCode(), 0);
        QCOMPARE(mail->mails().size(), 1);
        QCOMPARE(hookCalls().size(), 1);
        QCOMPARE(int(AlarmEpisodes::active(*db).size()), 1);
        QCOMPARE(AlarmEpisodes::active(*db)[0].worstValue, 13.5);
    }

    // A mail server that is down: the mail waits (the hook went) and is sent once by a
    // later run after the back-off, not before; then nothing is left to send.
    void mailServerDownThenUpDeliversOnce()
    {
        const QDateTime now = QDateTime::currentDateTime();
        TestData::addReadings(*db, Bolt, {reading(now.addSecs(-7200), "0"), reading(now.addSecs(-3600), "1300")});
        QVERIFY(!AlarmEvaluation::evaluateSensor(*db, Bolt, now).newEvents.empty());
        Outbox::Report r = Outbox::deliver(*db, now, Outbox::realSenders(*db));
        QCOMPARE(r.sent, 1);
        QCOMPARE(r.failed, 1);
        QCOMPARE(Outbox::unsentText(*db), QString("1 notification waiting"));
        QVERIFY(mail->start());
        QCOMPARE(Outbox::deliver(*db, now.addSecs(10), Outbox::realSenders(*db)).sent, 0);  // still backing off
        r = Outbox::deliver(*db, now.addSecs(600), Outbox::realSenders(*db));
        QCOMPARE(r.sent, 1);
        QCOMPARE(Outbox::deliver(*db, now.addSecs(1200), Outbox::realSenders(*db)).sent, 0);
        QCOMPARE(mail->mails().size(), 1);
        QCOMPARE(hookCalls().size(), 1);
        QVERIFY(Outbox::unsentText(*db).isEmpty());
    }

    // An Action episode nobody acknowledges is sent again once after the reminder time;
    // acknowledged at Action it is not; a flap back within the cool-down is held back.
    void reminderOnceAndCooldown()
    {
        QVERIFY(mail->start());
        const QDateTime now = QDateTime::currentDateTime();
        TestData::addReadings(*db, Bolt, {reading(now.addSecs(-7200), "0"), reading(now.addSecs(-3600), "1300")});
        AlarmEvaluation::evaluateSensor(*db, Bolt, now);
        QCOMPARE(Outbox::queueReminders(*db, now.addSecs(3 * 3600)), 0);
        QCOMPARE(Outbox::queueReminders(*db, now.addSecs(5 * 3600)), 2);  // mail and hook
        QCOMPARE(Outbox::queueReminders(*db, now.addSecs(5 * 3600 + 60)), 0);
        Outbox::deliver(*db, now.addSecs(5 * 3600 + 60), Outbox::realSenders(*db));
        QStringList mails = mail->mails();
        QCOMPARE(mails.size(), 2);
        QVERIFY(mails[1].contains("Action (reminder, not acknowledged)"));
        const std::vector<AlarmEpisodes::Episode> active = AlarmEpisodes::active(*db);
        QCOMPARE(AlarmEpisodes::acknowledge(*db, {active[0].id}, "barricaded", "shift", now), 1);
        QCOMPARE(Outbox::queueReminders(*db, now.addSecs(20 * 3600)), 0);

        // Down and up again within the hour: the new crossing is held back.
        TestData::addReadings(*db, Bolt, {reading(now.addSecs(-3000), "100"), reading(now.addSecs(-2400), "1300")});
        AlarmEvaluation::evaluateSensor(*db, Bolt, now.addSecs(60));
        Outbox::deliver(*db, now.addSecs(20 * 3600), Outbox::realSenders(*db));
        mails = mail->mails();
        QCOMPARE(mails.size(), 3);
        QVERIFY(mails[2].contains("cleared"));
        QCOMPARE(int(AlarmEpisodes::active(*db).size()), 1);
    }
};

QTEST_MAIN(TestNotify)
#include "tst_notify.moc"
