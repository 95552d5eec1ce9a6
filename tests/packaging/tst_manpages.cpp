// Each program's manual page says what its --help says, word for word, wherever the two
// overlap: the options, the exit status, the files and the environment.
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Entry {
    QString term;
    QString text;
    bool operator==(const Entry& o) const { return term == o.term && text == o.text; }
};
using Sections = QMap<QString, QList<Entry>>;  // section name (upper case) -> entries in order

char* toString(const Entry& e) { return QTest::toString(e.term + QStringLiteral(" => ") + e.text); }

QString simplified(const QString& s) { return s.simplified(); }

// The --help layout: a heading "Name:" at the start of a line, then entries indented by
// two spaces, the term and its text parted by two or more spaces, the text going on in
// deeper-indented lines.
Sections helpSections(const QString& help)
{
    static const QStringList wanted = {"OPTIONS", "EXIT STATUS", "FILES", "ENVIRONMENT"};
    static const QRegularExpression entry(QStringLiteral("^  (\\S+(?: \\S+)*)\\s{2,}(.*)$"));
    Sections sections;
    QString current;
    for (const QString& line : help.split('\n')) {
        if (!line.isEmpty() && !line.front().isSpace()) {
            current = line.endsWith(':') ? line.chopped(1).toUpper() : QString();
            if (!wanted.contains(current)) current.clear();
            continue;
        }
        if (current.isEmpty() || line.trimmed().isEmpty()) continue;
        const QRegularExpressionMatch m = entry.match(line);
        if (m.hasMatch()) sections[current].append({m.captured(1), m.captured(2)});
        else if (!sections[current].isEmpty()) sections[current].last().text += ' ' + line.trimmed();
    }
    for (auto& list : sections)
        for (Entry& e : list) e.text = simplified(e.text);
    return sections;
}

// Roff text as a reader sees it: font changes dropped, escaped characters as themselves.
QString plainRoff(QString s)
{
    static const QRegularExpression font(QStringLiteral("\\\\f[BIRP]"));
    s.remove(font);
    s.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    s.remove(QStringLiteral("\\&"));
    return s;
}

// A manual page's tagged paragraphs (.TP, the tag on the next line) per section; a
// paragraph's text runs to the next request, so more can follow under .IP.
Sections manSections(const QString& page)
{
    Sections sections;
    QString current;
    const QStringList lines = page.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.startsWith(QLatin1String(".SH "))) {
            current = line.mid(4).remove('"').trimmed();
        } else if (line == QLatin1String(".TP") && i + 1 < lines.size()) {
            Entry e{simplified(plainRoff(lines[++i])), QString()};
            while (i + 1 < lines.size() && !lines[i + 1].startsWith('.')) e.text += ' ' + lines[++i];
            e.text = simplified(plainRoff(e.text));
            sections[current].append(e);
        }
    }
    return sections;
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

class tst_manpages : public QObject {
    Q_OBJECT
private slots:
    void manualPageSaysWhatHelpSays_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("page");
        QTest::newRow("tarnwell") << QStringLiteral(TARNWELL_PROGRAM) << QStringLiteral("tarnwell.1");
        QTest::newRow("tarnwell-setup") << QStringLiteral(SETUP_PROGRAM) << QStringLiteral("tarnwell-setup.1");
        QTest::newRow("tarnwell-import") << QStringLiteral(IMPORT_PROGRAM) << QStringLiteral("tarnwell-import.1");
        QTest::newRow("tarnwell-web") << QStringLiteral(WEB_PROGRAM) << QStringLiteral("tarnwell-web.1");
    }

    void manualPageSaysWhatHelpSays()
    {
        QFETCH(QString, program);
        QFETCH(QString, page);
        // A home of its own, so the paths a program prints are the usual ones under "~".
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromUtf8(p.readAllStandardOutput()).replace(home.path(), QStringLiteral("~"));

        const Sections fromHelp = helpSections(help);
        const Sections fromMan = manSections(readFile(QStringLiteral(MAN_DIR "/") + page));
        QVERIFY2(!fromHelp.value("OPTIONS").isEmpty(), qPrintable("no options found in:\n" + help));
        QVERIFY(!fromHelp.value("EXIT STATUS").isEmpty());
        for (const char* section : {"OPTIONS", "EXIT STATUS", "FILES", "ENVIRONMENT"}) {
            const QList<Entry> h = fromHelp.value(section), m = fromMan.value(section);
            for (qsizetype i = 0; i < std::max(h.size(), m.size()); ++i) {
                const Entry none{QStringLiteral("(missing)"), QString()};
                QCOMPARE(i < m.size() ? m[i] : none, i < h.size() ? h[i] : none);
            }
        }
        // The usage lines and the synopsis name the same options.
        static const QRegularExpression option(QStringLiteral("--[a-z-]+"));
        QSet<QString> usage, synopsis;
        const QString usageText = help.section(QStringLiteral("\n\n"), 0, 0);
        for (auto it = option.globalMatch(usageText); it.hasNext();) usage.insert(it.next().captured());
        const QString man = plainRoff(readFile(QStringLiteral(MAN_DIR "/") + page));
        const QString synopsisText =
            man.section(QStringLiteral(".SH SYNOPSIS"), 1).section(QStringLiteral(".SH"), 0, 0);
        for (auto it = option.globalMatch(synopsisText); it.hasNext();) synopsis.insert(it.next().captured());
        synopsis.remove(QStringLiteral("--help"));
        QCOMPARE(synopsis, usage);
    }

    // The reader of the comparison: a term and its text, the text going on over several
    // lines, an entry's further paragraphs left out; sections in the order given.
    void readsBothLayouts()
    {
        const Sections h =
            helpSections(QStringLiteral("Usage: x\n\nOptions:\n  --a N   first line\n          goes on\n  --b     "
                                        "two\nNotes:\n  --c  not an option\n"));
        QCOMPARE(h.value("OPTIONS"), (QList<Entry>{{"--a N", "first line goes on"}, {"--b", "two"}}));
        QVERIFY(!h.contains("NOTES"));
        const Sections m = manSections(QStringLiteral(
            ".SH OPTIONS\n.TP\n\\fB\\-\\-a\\fR \\fIN\\fR\nfirst line\ngoes on\n.IP\nmore\n.TP\n\\fB\\-\\-b\\fR\ntwo\n"
            ".SH \"EXIT STATUS\"\n.TP\n\\fB0\\fR\nfine\n"));
        QCOMPARE(m.value("OPTIONS"), h.value("OPTIONS"));
        QCOMPARE(m.value("EXIT STATUS"), (QList<Entry>{{"0", "fine"}}));
    }
};

QTEST_GUILESS_MAIN(tst_manpages)
#include "tst_manpages.moc"
