// The SQL dialect: the reading of statements into tokens, the established forms SQLite
// is given, the parts of a recordset's selection, and the translation of every statement
// shape the program sends into the database server's dialect. On a server run
// (tst_sqldialect_server) the server itself takes each translation.
#include "support/TestEnv.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/SqlTokens.h"
#include "store/Statement.h"

#include <QtTest>

namespace {

// Where the server run checks a translation: against the program's own tables (prepared,
// or run where the server prepares no such statement), in an empty schema of its own
// (tables, indexes; in the table's order), or not at all (transactions, roles, a session's
// temporary table, a fragment).
enum Check { Program, Scratch, None };

struct Shape {
    const char* name;
    Check check;
    const char* statement;
    const char* server;
};

// Every shape of statement the program (and its tests, through the database) sends, as
// the server is to receive it.
const Shape Shapes[] = {
    {"readings in plot order", Program,
     "SELECT rowid FROM `250475001` WHERE (DoNotPlot = False) ORDER BY FullDate, rowid",
     "SELECT tw_rowid FROM \"250475001\" WHERE (DoNotPlot = 0) ORDER BY FullDate, tw_rowid"},
    {"a block of rows by identity", Program,
     "SELECT rowid,`RowVersion`,`InstrumentID`,`Level` FROM `Sensors` WHERE rowid BETWEEN ? AND ?",
     "SELECT tw_rowid,\"rowversion\",\"instrumentid\",\"level\" FROM \"sensors\" WHERE tw_rowid BETWEEN ? AND ?"},
    {"rows by identity list", Program,
     "SELECT rowid,`NumChannels`,`lblNotes` FROM `Configuration` WHERE rowid IN (?,?,?)",
     "SELECT tw_rowid,\"numchannels\",\"lblnotes\" FROM \"configuration\" WHERE tw_rowid IN (?,?,?)"},
    {"the filter's LIKE", Program,
     "SELECT rowid FROM `Sensors` WHERE (Level LIKE ? ESCAPE '\\') ORDER BY InstrumentID, rowid",
     "SELECT tw_rowid FROM \"sensors\" WHERE (Level ILIKE ? ESCAPE '\\') ORDER BY InstrumentID, tw_rowid"},
    {"yes/no in CASE", Program,
     "SELECT rowid, Channel1, FullDate, CASE WHEN PlotSpatial = True THEN 1 ELSE 0 END, DateTimeKey FROM `250475001` "
     "WHERE IsDirty <> 0 AND PlotSpatial = True ORDER BY FullDate, rowid LIMIT ?",
     "SELECT tw_rowid, Channel1, FullDate, CASE WHEN PlotSpatial = 1 THEN 1 ELSE 0 END, DateTimeKey FROM \"250475001\" "
     "WHERE IsDirty <> 0 AND PlotSpatial = 1 ORDER BY FullDate, tw_rowid LIMIT ?"},
    {"numbered placeholders", Program,
     "SELECT rowid, Channel1, FullDate FROM `250475001` WHERE IsDirty <> 0 AND DoNotPlot = False UNION ALL SELECT "
     "rowid, Channel1, FullDate FROM `250475001` WHERE DateTimeKey IN (SELECT DateTimeKey FROM PassPending WHERE "
     "SensorID = ?1 AND Pass = ?2) AND coalesce(IsDirty, 0) = 0 AND DoNotPlot = False",
     "SELECT tw_rowid, Channel1, FullDate FROM \"250475001\" WHERE IsDirty <> 0 AND DoNotPlot = 0 UNION ALL SELECT "
     "tw_rowid, Channel1, FullDate FROM \"250475001\" WHERE DateTimeKey IN (SELECT DateTimeKey FROM PassPending WHERE "
     "SensorID = $1 AND Pass = $2) AND coalesce(IsDirty, 0) = 0 AND DoNotPlot = 0"},
    {"a join with short names", Program,
     "SELECT c.NumChannels, c.TempChannel, c.lowval FROM Sensors s JOIN Configuration c ON c.SensorType = s.SensorType "
     "WHERE s.InstrumentID = ?",
     "SELECT c.NumChannels, c.TempChannel, c.lowval FROM Sensors s JOIN Configuration c ON c.SensorType = s.SensorType "
     "WHERE s.InstrumentID = ?"},
    {"a count of a limited selection", Program,
     "SELECT count(*) FROM (SELECT 1 FROM `250475001` WHERE IsDirty <> 0 AND Plottemporal = True LIMIT ?) AS work",
     "SELECT count(*) FROM (SELECT 1 FROM \"250475001\" WHERE IsDirty <> 0 AND Plottemporal = 1 LIMIT ?) AS work"},
    {"group_concat without separator", Program, "SELECT group_concat(InstrumentID) FROM Sensors WHERE Level = 'L5'",
     "SELECT string_agg(InstrumentID::text, ',') FROM Sensors WHERE Level = 'L5'"},
    {"group_concat with separator", Program,
     "SELECT group_concat(DateTimeKey, '|') FROM (SELECT DateTimeKey FROM `250475001` WHERE PlotSpatial = 1 ORDER BY "
     "DateTimeKey) AS r",
     "SELECT string_agg(DateTimeKey, '|') FROM (SELECT DateTimeKey FROM \"250475001\" WHERE PlotSpatial = 1 ORDER BY "
     "DateTimeKey) AS r"},
    {"texts keep their words and quotes", Program,
     "UPDATE Sensors SET Level = 'O''Brien', Notes = 'rowid True LIKE `x` \"y\" -- z' WHERE InstrumentID = '250455001'",
     "UPDATE Sensors SET Level = 'O''Brien', Notes = 'rowid True LIKE `x` \"y\" -- z' WHERE InstrumentID = "
     "'250455001'"},
    {"a row written with its version", Program,
     "UPDATE `250475001` SET `Channel1` = ?,RowVersion = RowVersion + 1, ChangedBy = ?, ChangedAt = ? WHERE rowid = ? "
     "AND coalesce(RowVersion, 0) = ?",
     "UPDATE \"250475001\" SET \"channel1\" = ?,RowVersion = RowVersion + 1, ChangedBy = ?, ChangedAt = ? WHERE "
     "tw_rowid = ? AND coalesce(RowVersion, 0) = ?"},
    {"a mixed-case quoted name lowered", Program, "SELECT `readingdate` FROM `250475001` WHERE `DateTimeKey` = ?",
     "SELECT \"readingdate\" FROM \"250475001\" WHERE \"datetimekey\" = ?"},
    {"every row of a table (established form)", Program, "DELETE * FROM `250475001`;", "DELETE FROM \"250475001\""},
    {"rows of a table gone from another", Program,
     "DELETE FROM Rejections WHERE SensorID = ? AND NOT EXISTS (SELECT 1 FROM `250475001` WHERE "
     "`250475001`.DateTimeKey = Rejections.DateTimeKey)",
     "DELETE FROM Rejections WHERE SensorID = ? AND NOT EXISTS (SELECT 1 FROM \"250475001\" WHERE "
     "\"250475001\".DateTimeKey = Rejections.DateTimeKey)"},
    {"a text test's selection", None,
     "DELETE FROM `250475001` WHERE rowid > 0 AND (Channel1 IN (SELECT v FROM tw_text_tw_is_twelve))",
     "DELETE FROM \"250475001\" WHERE tw_rowid > 0 AND (Channel1 IN (SELECT v FROM tw_text_tw_is_twelve))"},
    {"a new row's identity", Program,
     "INSERT INTO `NetworkConfig` (`SensorID`,`MasterID`,`SlaveID`,`SlotID`,`TimeConfig`) VALUES (?,?,?,?,?) RETURNING "
     "rowid",
     "INSERT INTO \"networkconfig\" (\"sensorid\",\"masterid\",\"slaveid\",\"slotid\",\"timeconfig\") VALUES "
     "(?,?,?,?,?) RETURNING tw_rowid"},
    {"a row of defaults", Program, "INSERT INTO `Prefs` DEFAULT VALUES RETURNING rowid",
     "INSERT INTO \"prefs\" DEFAULT VALUES RETURNING tw_rowid"},
    {"a plain row", Program,
     "INSERT INTO SchemaMigrations (MigrationID, AppliedAt, AppliedBy, ProgramVersion) VALUES (?,?,?,?)",
     "INSERT INTO SchemaMigrations (MigrationID, AppliedAt, AppliedBy, ProgramVersion) VALUES (?,?,?,?)"},
    {"rows kept when already there (select)", Program,
     "INSERT OR IGNORE INTO PassPending (SensorID, Pass, DateTimeKey) SELECT ?, ?, DateTimeKey FROM `250475001` WHERE "
     "IsDirty <> 0 AND DoNotPlot = False",
     "INSERT INTO PassPending (SensorID, Pass, DateTimeKey) SELECT ?, ?, DateTimeKey FROM \"250475001\" WHERE IsDirty "
     "<> 0 AND DoNotPlot = 0 ON CONFLICT DO NOTHING"},
    {"rows kept when already there (values)", Program,
     "INSERT OR IGNORE INTO `250475001` (`DateTimeKey`, `FullDate`, `ReadingDate`, `ReadingTime`, `ChannelT`, "
     "`Plottemporal`, `Channel1`, `IsDirty`) VALUES (?, ?, ?, ?, ?, ?, ?, 1)",
     "INSERT INTO \"250475001\" (\"datetimekey\", \"fulldate\", \"readingdate\", \"readingtime\", \"channelt\", "
     "\"plottemporal\", \"channel1\", \"isdirty\") VALUES (?, ?, ?, ?, ?, ?, ?, 1) ON CONFLICT DO NOTHING"},
    {"a row replaced by its key", Program,
     "INSERT OR REPLACE INTO AlarmState (SensorID, Status, Since, Headline, Positions, LastKey, LastFullDate, "
     "LastValues, Signature, EvaluatedAt) VALUES (?,?,?,?,?,?,?,?,?,?)",
     "INSERT INTO AlarmState (SensorID, Status, Since, Headline, Positions, LastKey, LastFullDate, LastValues, "
     "Signature, EvaluatedAt) VALUES (?,?,?,?,?,?,?,?,?,?) ON CONFLICT ON CONSTRAINT \"alarmstate_pkey\" DO UPDATE SET "
     "\"sensorid\" = EXCLUDED.\"sensorid\", \"status\" = EXCLUDED.\"status\", \"since\" = EXCLUDED.\"since\", "
     "\"headline\" = EXCLUDED.\"headline\", \"positions\" = EXCLUDED.\"positions\", \"lastkey\" = "
     "EXCLUDED.\"lastkey\", \"lastfulldate\" = EXCLUDED.\"lastfulldate\", \"lastvalues\" = EXCLUDED.\"lastvalues\", "
     "\"signature\" = EXCLUDED.\"signature\", \"evaluatedat\" = EXCLUDED.\"evaluatedat\""},
    {"a row replaced by a key of several columns", Program,
     "INSERT OR REPLACE INTO Rejections (SensorID, DateTimeKey, Gauge, Reason, RejectedBy, RejectedAt) VALUES (?, ?, "
     "?, ?, ?, ?)",
     "INSERT INTO Rejections (SensorID, DateTimeKey, Gauge, Reason, RejectedBy, RejectedAt) VALUES (?, ?, ?, ?, ?, ?) "
     "ON CONFLICT ON CONSTRAINT \"rejections_pkey\" DO UPDATE SET \"sensorid\" = EXCLUDED.\"sensorid\", "
     "\"datetimekey\" = EXCLUDED.\"datetimekey\", \"gauge\" = EXCLUDED.\"gauge\", \"reason\" = EXCLUDED.\"reason\", "
     "\"rejectedby\" = EXCLUDED.\"rejectedby\", \"rejectedat\" = EXCLUDED.\"rejectedat\""},
    {"fixed settings of a batched update", None, "IsDirty = 0", "IsDirty = 0"},
    {"a savepoint", None, "SAVEPOINT tw_1", "SAVEPOINT tw_1"},
    {"back to a savepoint", None, "ROLLBACK TO tw_1", "ROLLBACK TO tw_1"},
    {"statistics of a table", Program, "ANALYZE `250475001`", "ANALYZE \"250475001\""},
    {"the server's catalogue", Program,
     "SELECT column_name FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = "
     "lower(?) AND is_identity = 'YES'",
     "SELECT column_name FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = "
     "lower(?) AND is_identity = 'YES'"},
    {"a table with numbered rows", Scratch,
     "CREATE TABLE AlarmOutbox (OutboxID INTEGER PRIMARY KEY AUTOINCREMENT, EpisodeID INTEGER, Change TEXT NOT NULL, "
     "CreatedAt TEXT NOT NULL, Attempts INTEGER NOT NULL DEFAULT 0, NextAttemptAt TEXT, SentAt TEXT)",
     "CREATE TABLE AlarmOutbox (tw_rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, OutboxID BIGINT GENERATED BY "
     "DEFAULT AS IDENTITY PRIMARY KEY , EpisodeID BIGINT, Change TEXT COLLATE \"C\" NOT NULL, CreatedAt TEXT COLLATE "
     "\"C\" NOT NULL, Attempts BIGINT NOT NULL DEFAULT 0, NextAttemptAt TEXT COLLATE \"C\", SentAt TEXT COLLATE "
     "\"C\")"},
    {"a table with a key of several columns", Scratch,
     "CREATE TABLE Rejections (SensorID TEXT NOT NULL, DateTimeKey TEXT NOT NULL, Gauge INTEGER NOT NULL, Reason TEXT "
     "NOT NULL, PRIMARY KEY (SensorID, DateTimeKey, Gauge))",
     "CREATE TABLE Rejections (tw_rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, SensorID TEXT COLLATE \"C\" "
     "NOT NULL, DateTimeKey TEXT COLLATE \"C\" NOT NULL, Gauge BIGINT NOT NULL, Reason TEXT COLLATE \"C\" NOT NULL, "
     "PRIMARY KEY (SensorID, DateTimeKey, Gauge))"},
    {"a table with yes/no and numbers", Scratch,
     "CREATE TABLE Configuration (SensorType TEXT PRIMARY KEY NOT NULL, NumChannels INTEGER, TempChannel BOOLEAN, "
     "lowval REAL)",
     "CREATE TABLE Configuration (tw_rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, SensorType TEXT COLLATE "
     "\"C\" PRIMARY KEY NOT NULL, NumChannels BIGINT, TempChannel SMALLINT, lowval DOUBLE PRECISION)"},
    {"the data template over several lines", Scratch,
     "CREATE TABLE sensordata (\n  DateTimeKey TEXT NOT NULL,\n  FullDate TEXT,\n  Plottemporal BOOLEAN DEFAULT 0,\n  "
     "DoNotPlot BOOLEAN NOT NULL DEFAULT 0,\n  IsDirty BOOLEAN DEFAULT 0,\n  Load1 REAL\n)",
     "CREATE TABLE sensordata (tw_rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, \n  DateTimeKey TEXT COLLATE "
     "\"C\" NOT NULL,\n  FullDate TEXT COLLATE \"C\",\n  Plottemporal SMALLINT DEFAULT 0,\n  DoNotPlot SMALLINT NOT "
     "NULL DEFAULT 0,\n  IsDirty SMALLINT DEFAULT 0,\n  Load1 DOUBLE PRECISION\n)"},
    {"a column without a type", Scratch, "CREATE TABLE MSysObjects (x)",
     "CREATE TABLE MSysObjects (tw_rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, x TEXT COLLATE \"C\")"},
    {"a table made once", Scratch, "CREATE TABLE IF NOT EXISTS updates (n INTEGER)",
     "CREATE TABLE IF NOT EXISTS updates (tw_rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, n BIGINT)"},
    {"type words as column names", Scratch,
     "CREATE TABLE Notes (Text TEXT, Real REAL, `Integer` INTEGER, PRIMARY KEY (Text, Real))",
     "CREATE TABLE Notes (tw_rowid BIGINT GENERATED BY DEFAULT AS IDENTITY UNIQUE, Text TEXT COLLATE \"C\", Real "
     "DOUBLE PRECISION, \"integer\" BIGINT, PRIMARY KEY (Text, Real))"},
    {"an index ends with the row identity", Scratch,
     "CREATE INDEX AlarmOutbox_Due ON AlarmOutbox (SentAt, NextAttemptAt)",
     "CREATE INDEX AlarmOutbox_Due ON AlarmOutbox (SentAt, NextAttemptAt, tw_rowid)"},
    {"an index on a type word", Scratch, "CREATE INDEX Notes_Real ON Notes (Real)",
     "CREATE INDEX Notes_Real ON Notes (Real, tw_rowid)"},
    {"a partial index", Scratch,
     "CREATE INDEX IF NOT EXISTS `sensordata_IsDirty` ON `sensordata` (IsDirty) WHERE IsDirty <> 0",
     "CREATE INDEX IF NOT EXISTS \"sensordata_isdirty\" ON \"sensordata\" (IsDirty, tw_rowid) WHERE IsDirty <> 0"},
    {"a unique index stays as it is", Scratch, "CREATE UNIQUE INDEX sensordata_DateTimeKey ON sensordata (DateTimeKey)",
     "CREATE UNIQUE INDEX sensordata_DateTimeKey ON sensordata (DateTimeKey)"},
    {"a column added with a default", Scratch,
     "ALTER TABLE `sensordata` ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 0",
     "ALTER TABLE \"sensordata\" ADD COLUMN RowVersion BIGINT NOT NULL DEFAULT 0"},
    {"a text column added", Scratch, "ALTER TABLE Configuration ADD COLUMN Notes TEXT",
     "ALTER TABLE Configuration ADD COLUMN Notes TEXT COLLATE \"C\""},
    {"a constraint added", Scratch, "ALTER TABLE Configuration ADD CONSTRAINT refuse CHECK (SensorType <> '35')",
     "ALTER TABLE Configuration ADD CONSTRAINT refuse CHECK (SensorType <> '35')"},
    {"a table renamed", Scratch, "ALTER TABLE sensordata RENAME TO sensordata_gone",
     "ALTER TABLE sensordata RENAME TO sensordata_gone"},
    {"a table dropped", Scratch, "DROP TABLE Notes", "DROP TABLE Notes"},
    {"a role of the server", None, "CREATE ROLE tw_ann LOGIN PASSWORD 'a' IN ROLE tw_team",
     "CREATE ROLE tw_ann LOGIN PASSWORD 'a' IN ROLE tw_team"},
};

// What has no exact translation is refused, naming the statement.
const struct {
    const char* name;
    const char* statement;
} Refused[] = {
    {"replace without a column list", "INSERT OR REPLACE INTO Prefs VALUES (?,?,?,?,?)"},
    {"ignore without a column list", "INSERT OR IGNORE INTO `250475001` SELECT * FROM `250475002`"},
    {"a plain row without a column list", "INSERT INTO Prefs VALUES ('North', '0', '1', '0', '1')"},
    {"replace into defaults", "INSERT OR REPLACE INTO Prefs DEFAULT VALUES"},
    {"the short form of replace", "REPLACE INTO Prefs (MineID) VALUES ('North')"},
    {"a resolution the server lacks", "INSERT OR ROLLBACK INTO Prefs (MineID) VALUES ('North')"},
    {"an update that replaces", "UPDATE OR REPLACE Prefs SET MineID = 'North'"},
    {"a resolution given twice", "INSERT OR IGNORE INTO Prefs (MineID) VALUES ('North') ON CONFLICT DO NOTHING"},
    {"a double-quoted text", "SELECT rowid FROM Sensors WHERE Level = \"L5\""},
    {"a double-quoted name", "SELECT \"Level\" FROM Sensors"},
    {"a type with a size", "CREATE TABLE Notes (Name VARCHAR(50))"},
    {"a type the server has otherwise", "CREATE TABLE Notes (Taken DATETIME)"},
    {"a byte column", "CREATE TABLE Notes (Photo BLOB)"},
    {"a column with constraints and no type", "CREATE TABLE Notes (Name NOT NULL)"},
    {"a table from a query", "CREATE TABLE Notes AS SELECT * FROM Sensors"},
    {"a table without row numbers", "CREATE TABLE Notes (Name TEXT PRIMARY KEY) WITHOUT ROWID"},
    {"a temporary table", "CREATE TEMP TABLE Notes (Name TEXT)"},
    {"a view", "CREATE VIEW Active AS SELECT * FROM Sensors WHERE Destroyed = False"},
    {"a text left open", "SELECT rowid FROM Sensors WHERE Level = 'L5"},
    {"a name left open", "SELECT rowid FROM `Sensors WHERE Level = 'L5'"},
    {"two statements", "DELETE FROM Prefs; DELETE FROM Sensors"},
};

// Statements and their tokens as kind letters and texts (see shown()).
struct TokenCase {
    const char* name;
    const char* sql;
    const char* tokens;
};
const TokenCase TokenCases[] = {
    {"quotes doubled inside", "'O''Brien' `a``b` [c]", "S['O''Brien'] _[ ] Q[`a``b`] _[ ] Q[[c]]"},
    {"numbers", "1.5e-3,.5 12e", "N[1.5e-3] P[,] N[.5] _[ ] N[12] W[e]"},
    {"placeholders", "?1=?", "?[?1] P[=] ?[?]"},
    {"comments", "a -- b 'c\n/* d */-", "W[a] _[ ] C[-- b 'c] _[\n] C[/* d */] P[-]"},
    {"words", "Größe$2 _x", "W[Größe$2] _[ ] W[_x]"},
    {"left open", "x = 'it''s", "W[x] _[ ] P[=] _[ ] S['it''s]!"},
    {"name left open", "[a", "Q[[a]!"},
};

// A recordset's selection and its parts; the parts of one it cannot take are not read.
const struct {
    const char* name;
    const char* sql;
    bool valid;
    const char* table;
    const char* where;
    const char* orderBy;
} SelectCases[] = {
    {"condition and order", "SELECT * FROM `250475001` WHERE Plottemporal = True ORDER BY FullDate", true, "250475001",
     "Plottemporal = True", "FullDate"},
    {"bare name, no condition", "SELECT Sensors.* FROM Sensors ORDER BY InstrumentID;", true, "Sensors", "",
     "InstrumentID"},
    {"words inside a text", "SELECT * FROM Sensors WHERE Notes = 'from x order by y' ORDER BY InstrumentID", true,
     "Sensors", "Notes = 'from x order by y'", "InstrumentID"},
    {"a selection in the columns", "SELECT (SELECT max(FullDate) FROM `1`) FROM Sensors WHERE Level = ?", true,
     "Sensors", "Level = ?", ""},
    {"a join", "SELECT * FROM Sensors s JOIN Configuration c ON c.SensorType = s.SensorType", false, "", "", ""},
    {"no condition after WHERE", "SELECT * FROM Sensors WHERE ORDER BY Level", false, "", "", ""},
    {"not a selection", "DELETE FROM Sensors", false, "", "", ""},
};

// The tokens as kind letters and texts: "W[SELECT] _[ ] N[1]"; an unclosed token ends in "!".
QString shown(const SqlTokens::Tokens& tokens)
{
    static const char kinds[] = "_CWQSN?P";
    QStringList out;
    for (const SqlTokens::Token& t : tokens)
        out << QChar::fromLatin1(kinds[t.kind]) + '[' + t.text + ']' + (t.closed ? "" : "!");
    return out.join(' ');
}

// A data table of cases with a name: a text in, the text expected out.
template <typename Case, size_t N>
void addTextRows(const Case (&cases)[N], const char* Case::*in, const char* Case::*out)
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    for (const Case& c : cases) QTest::newRow(c.name) << QString(c.*in) << QString(c.*out);
}

// The statement with its "?" numbered as the server's own placeholders ($1, $2, ...).
QString numbered(const QString& sql)
{
    QString out;
    int next = 0;
    for (const SqlTokens::Token& t : SqlTokens::tokenize(sql))
        out += t.kind == SqlTokens::Token::Placeholder && t.text == "?" ? '$' + QString::number(++next) : t.text;
    return out;
}

}  // namespace

class TestSqlDialect : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void tokens_data() { addTextRows(TokenCases, &TokenCase::sql, &TokenCase::tokens); }
    void tokens()
    {
        QFETCH(QString, in);
        const SqlTokens::Tokens t = SqlTokens::tokenize(in);
        QTEST(shown(t), "out");
        // Every character in one token, each where the statement has it.
        QString joined;
        for (const SqlTokens::Token& k : t) {
            QCOMPARE(in.mid(k.start, k.text.size()), k.text);
            joined += k.text;
        }
        QCOMPARE(joined, in);
    }

    void quotedValues()
    {
        const SqlTokens::Tokens t = SqlTokens::tokenize("'O''Brien' `a``b` [c]] \"d\"\"e\"");
        QCOMPARE(t[0].value(), QString("O'Brien"));
        QCOMPARE(t[2].value(), QString("a`b"));
        QCOMPARE(t[4].value(), QString("c"));  // a bracketed name ends at its first "]"
        QCOMPARE(t[7].value(), QString("d\"e"));
    }

    void establishedForms()
    {
        QCOMPARE(SqlDialect::translate("DELETE * FROM `250475001`"), QString("DELETE FROM `250475001`"));
        QCOMPARE(SqlDialect::translate("  SELECT Sensors.* FROM Sensors ORDER BY InstrumentID; "),
                 QString("SELECT Sensors.* FROM Sensors ORDER BY InstrumentID"));
        QCOMPARE(SqlDialect::translate("SELECT '*' FROM Sensors"), QString("SELECT '*' FROM Sensors"));
    }

    void selectParts_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("orderBy");
        for (const auto& c : SelectCases)
            QTest::newRow(c.name) << QString(c.sql) << c.valid << QString(c.table) << QString(c.where)
                                  << QString(c.orderBy);
    }
    void selectParts()
    {
        QFETCH(QString, sql);
        QFETCH(bool, valid);
        const SqlDialect::Select s = SqlDialect::parseSelect(sql);
        QCOMPARE(s.valid, valid);
        if (!valid) return;
        QTEST(s.table, "table");
        QTEST(s.where, "where");
        QTEST(s.orderBy, "orderBy");
    }

    void findCriteria()
    {
        QString col, val;
        QVERIFY(SqlDialect::parseCriterion("DateTimeKey='250475001 2025/01/01 00:00:00'", &col, &val));
        QCOMPARE(col, QString("DateTimeKey"));
        QCOMPARE(val, QString("250475001 2025/01/01 00:00:00"));
        QVERIFY(SqlDialect::parseCriterion("Level = 'O''Brien'", &col, &val));
        QCOMPARE(val, QString("O'Brien"));
        QVERIFY(!SqlDialect::parseCriterion("Level = 'a' OR Level = 'b'", &col, &val));
        QVERIFY(!SqlDialect::parseCriterion("Level = 5", &col, &val));
        QVERIFY(!SqlDialect::parseCriterion("Level = 'a", &col, &val));
    }

    void namesDefined()
    {
        QCOMPARE(SqlDialect::definedNames("CREATE TABLE `AlarmState` (SensorID TEXT, lowval REAL, `Odd``One` TEXT)"),
                 QStringList({"AlarmState", "SensorID", "Odd`One"}));
        QCOMPARE(SqlDialect::definedNames("SELECT SensorID FROM AlarmState"), QStringList());
    }

    void serverShapes_data() { addTextRows(Shapes, &Shape::statement, &Shape::server); }
    void serverShapes()
    {
        QFETCH(QString, in);
        QTEST(SqlDialect::toServer(in), "out");
    }

    void refused_data()
    {
        QTest::addColumn<QString>("statement");
        for (const auto& r : Refused) QTest::newRow(r.name) << QString(r.statement);
    }
    void refused()
    {
        QFETCH(QString, statement);
        try {
            const QString sent = SqlDialect::toServer(statement);
            QFAIL(qPrintable("translated as " + sent));
        } catch (const TwError& e) {
            QVERIFY2(e.description.endsWith(": " + statement), qPrintable(e.description));
        }
    }

    // The server takes every translation of the table: the row changes and queries are
    // prepared against the program's tables; tables and indexes are made in a schema of
    // their own, in a transaction that is rolled back.
    void serverTakesEveryShape()
    {
        if (!TestServer::wanted()) QSKIP("about the database server; this run is on the file");
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {"250475001"});
        }
        QStringList program, scratch{"BEGIN", "CREATE SCHEMA tw_shapes", "SET LOCAL search_path = tw_shapes"};
        int n = 0;
        for (const Shape& s : Shapes) {
            const QString sql = QString(s.server);
            if (s.check == Scratch) {
                scratch << sql;
            } else if (s.check == Program) {
                const QString name = QStringLiteral("tw_shape_%1").arg(++n);
                if (QRegularExpression("^(SELECT|INSERT|UPDATE|DELETE)\\b").match(sql).hasMatch())
                    program << "PREPARE " + name + " AS " + numbered(sql) << "DEALLOCATE " + name;
                else program << sql;
            }
        }
        scratch << "ROLLBACK";
        QCOMPARE(TestServer::adminExec(program), QString());
        QCOMPARE(TestServer::adminExec(scratch), QString());
    }

    // A refusal reaches the program as its own error, naming the statement, whichever way
    // the statement goes to the server.
    void refusalNamesTheStatement()
    {
        if (!TestServer::wanted()) QSKIP("about the database server; this run is on the file");
        TestData::installFresh();
        auto db = TestData::openDatabase();
        const QString bad = "INSERT INTO Prefs VALUES ('North', '0', '1', '0', '1')";
        for (int way = 0; way < 3; ++way) {
            try {
                if (way == 0) db->execute(bad);
                else if (way == 1) db->scalar(bad);
                else Statement(*db, bad).run();
                QFAIL("the statement was sent");
            } catch (const TwError& e) {
                QVERIFY2(e.description.contains(bad), qPrintable(e.description));
                QVERIFY(!e.isStorageFault());
            }
        }
        QCOMPARE(db->scalar("SELECT count(*) FROM Prefs").toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSqlDialect)
#include "tst_sqldialect.moc"
