// The TDS peer against the real ODBC driver, through plain ODBC calls.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <memory>
#include <string>
#include <vector>

#include "platform/Odbc.h"
#include "tests/support/TdsPeer.h"

using korvex::test::TdsColumn;
using korvex::test::TdsPeer;
using korvex::test::TdsReply;
using korvex::test::TdsType;

namespace {

struct Diag {
    QString state;
    int native = 0;
    QString text;
};

std::vector<Diag> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diag> result;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, text, 1024, &length);
        if (!SQL_SUCCEEDED(rc)) break;
        result.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5),
                          int(native),
                          QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length)});
    }
    return result;
}

QString describe(const std::vector<Diag>& diags) {
    QStringList lines;
    for (const Diag& d : diags)
        lines << QStringLiteral("%1 %2 %3").arg(d.state).arg(d.native).arg(d.text);
    return lines.join(u'\n');
}

bool hasDiag(const std::vector<Diag>& diags, int native, const QString& text) {
    for (const Diag& d : diags)
        if (d.native == native && d.text.contains(text)) return true;
    return false;
}

std::u16string wide(const QString& s) {
    return s.toStdU16String();
}

// One ODBC environment and connection, freed at the end of the test.
class Odbc {
  public:
    Odbc() {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(5), 0);
    }
    ~Odbc() {
        if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        if (connected_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }

    static QString connectionString(const TdsPeer& peer, const QString& user = "sa",
                                    const QString& password = "geheim",
                                    const QString& database = "master") {
        return QStringLiteral("Driver={FreeTDS};Server=%1;UID=%2;PWD=%3;Database=%4;APP=selftest;")
            .arg(peer.server(), user, password, database);
    }

    SQLRETURN connect(const QString& text) {
        std::u16string w = wide(text);
        const SQLRETURN rc =
            SQLDriverConnectW(dbc_, nullptr, reinterpret_cast<SQLWCHAR*>(w.data()),
                              SQLSMALLINT(w.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        connected_ = SQL_SUCCEEDED(rc);
        if (connected_) SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
        return rc;
    }

    SQLRETURN exec(const QString& text, int timeoutSeconds = 0) {
        SQLFreeStmt(stmt_, SQL_CLOSE);
        SQLSetStmtAttrW(stmt_, SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(SQLULEN(timeoutSeconds)), 0);
        std::u16string w = wide(text);
        return SQLExecDirectW(stmt_, reinterpret_cast<SQLWCHAR*>(w.data()), SQLINTEGER(w.size()));
    }

    // Every value of the current result set as text; a null QString for NULL.
    std::vector<QStringList> fetchAll() {
        std::vector<QStringList> rows;
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt_, &columns);
        while (SQL_SUCCEEDED(SQLFetch(stmt_))) {
            QStringList row;
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                SQLWCHAR buffer[512] = {};
                SQLLEN indicator = 0;
                SQLGetData(stmt_, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
                row << (indicator == SQL_NULL_DATA
                            ? QString()
                            : QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer),
                                                 indicator / qsizetype(sizeof(SQLWCHAR))));
            }
            rows.push_back(row);
        }
        return rows;
    }

    SQLHDBC dbc() const { return dbc_; }
    SQLHSTMT stmt() const { return stmt_; }
    std::vector<Diag> dbcDiags() const { return diagnostics(SQL_HANDLE_DBC, dbc_); }
    std::vector<Diag> stmtDiags() const { return diagnostics(SQL_HANDLE_STMT, stmt_); }

  private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    bool connected_ = false;
};

class TdsPeerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(peer.start(&error)) << error.toStdString();
    }
    void connect(Odbc& odbc) {
        const SQLRETURN rc = odbc.connect(Odbc::connectionString(peer));
        ASSERT_TRUE(SQL_SUCCEEDED(rc)) << describe(odbc.dbcDiags()).toStdString();
    }
    TdsPeer peer;
};

TEST_F(TdsPeerTest, LoginIsAcceptedAndJournaled) {
    Odbc odbc;
    connect(odbc);

    const auto logins = peer.logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_TRUE(logins[0].accepted);
    EXPECT_EQ(logins[0].user, "sa");
    EXPECT_EQ(logins[0].password, "geheim");
    EXPECT_EQ(logins[0].database, "master");
    EXPECT_EQ(logins[0].appName, "selftest");
    EXPECT_EQ(logins[0].tdsVersion, "7.4");
    EXPECT_TRUE(logins[0].serverName.startsWith("127.0.0.1")) << logins[0].serverName.toStdString();
    EXPECT_GT(logins[0].connection, 0);

    // The connection is really open: a batch goes through and is answered
    // with a plain DONE, which the driver reports as no data.
    EXPECT_EQ(odbc.exec("SET NOCOUNT ON"), SQL_NO_DATA) << describe(odbc.stmtDiags()).toStdString();
    EXPECT_EQ(peer.batchesExceptDriver(), QStringList{"SET NOCOUNT ON"});
}

TEST_F(TdsPeerTest, DriverBatchesAreToldApart) {
    // With a text size configured the driver sends its own first batch; the
    // program's batches, even a look-alike first one, stay the program's.
    peer.onBatch("set", TdsReply().error(50000, 16, 1, "rules do not answer the driver"));
    Odbc odbc;
    ASSERT_TRUE(SQL_SUCCEEDED(odbc.connect(Odbc::connectionString(peer) + "TextSize=64512;")))
        << describe(odbc.dbcDiags()).toStdString();
    peer.clearBatchRules();
    EXPECT_EQ(odbc.exec("USE master\r\n"), SQL_NO_DATA);
    EXPECT_EQ(peer.batches(), (QStringList{"set textsize 64512 ", "USE master\r\n"}));
    EXPECT_EQ(peer.batchesExceptDriver(), QStringList{"USE master\r\n"});

    Odbc plain;
    connect(plain);
    EXPECT_EQ(plain.exec("USE master\r\n"), SQL_NO_DATA);
    EXPECT_EQ(peer.batchesExceptDriver(), (QStringList{"USE master\r\n", "USE master\r\n"}));
}

TEST_F(TdsPeerTest, LoginIsRefusedWithTheServerMessage) {
    struct Case {
        const char* name;
        QString user, password, database;
        int native;
        QString text;
    };
    const std::vector<Case> cases = {
        {"wrong password", "sa", "fout", "master", 18456, "Login failed for user 'sa'."},
        {"unknown user", "niemand", "geheim", "master", 18456, "Login failed for user 'niemand'."},
        {"unknown database", "sa", "geheim", "Onbekend", 4060,
         "Cannot open database \"Onbekend\" requested by the login. The login failed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        peer.clearJournal();
        Odbc odbc;
        const SQLRETURN rc =
            odbc.connect(Odbc::connectionString(peer, c.user, c.password, c.database));
        EXPECT_EQ(rc, SQL_ERROR);
        const auto diags = odbc.dbcDiags();
        EXPECT_TRUE(hasDiag(diags, c.native, c.text)) << describe(diags).toStdString();
        const auto logins = peer.logins();
        ASSERT_EQ(logins.size(), 1u);
        EXPECT_FALSE(logins[0].accepted);
        EXPECT_EQ(logins[0].user, c.user);
        EXPECT_EQ(logins[0].password, c.password);
    }
}

TEST_F(TdsPeerTest, LoginRulesChangeBetweenSteps) {
    peer.setLogin("beheerder", "w8woord");
    peer.addDatabase("Bedrijf");
    {
        Odbc odbc;
        ASSERT_TRUE(SQL_SUCCEEDED(
            odbc.connect(Odbc::connectionString(peer, "beheerder", "w8woord", "bedrijf"))))
            << describe(odbc.dbcDiags()).toStdString();
        // The database change the server reports uses the server's spelling.
        SQLWCHAR name[64] = {};
        SQLSMALLINT length = 0;
        SQLGetInfoW(odbc.dbc(), SQL_DATABASE_NAME, name, sizeof name, &length);
        EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(name)), "Bedrijf");
    }
    peer.removeLogin("beheerder");
    Odbc odbc;
    EXPECT_EQ(odbc.connect(Odbc::connectionString(peer, "beheerder", "w8woord", "Bedrijf")),
              SQL_ERROR);
}

TEST_F(TdsPeerTest, BatchTextIsJournaledExactly) {
    Odbc odbc;
    connect(odbc);
    // CR LF line ends, a tab, text outside Latin-1 and a batch far larger
    // than one packet.
    const QString multiLine =
        "USE master\r\nCREATE DATABASE [Bedrijf é€中]\r\n\tON (FILENAME = 'C:\\Data\\b.mdf')\r\n";
    QString large;
    for (int i = 0; i < 2000; ++i) large += QStringLiteral("SELECT %1 -- regel\r\n").arg(i);
    const int connection = peer.logins().back().connection;
    peer.clearJournal();

    for (const QString& text : {multiLine, large}) {
        EXPECT_EQ(odbc.exec(text), SQL_NO_DATA) << describe(odbc.stmtDiags()).toStdString();
    }
    const QStringList batches = peer.batches();
    ASSERT_EQ(batches.size(), 2);
    EXPECT_EQ(batches[0], multiLine);
    EXPECT_EQ(batches[1], large);
    EXPECT_EQ(peer.batchEntries()[0].connection, connection);
    EXPECT_TRUE(peer.logins().empty());
}

TEST_F(TdsPeerTest, RepliesReachTheDriverWithStatusCountsAndMessages) {
    struct Case {
        const char* name;
        TdsReply reply;
        SQLRETURN rc;
        SQLLEN rowCount;  // checked when the call succeeds
        int native;       // a diagnostic to find, 0 for none
        QString text;
    };
    const std::vector<Case> cases = {
        {"done with count", TdsReply().done(7), SQL_SUCCESS, 7, 0, {}},
        {"plain done", TdsReply().done(), SQL_NO_DATA, -1, 0, {}},
        {"error", TdsReply().error(2714, 16, 6, "There is already an object named 'X'."), SQL_ERROR,
         0, 2714, "There is already an object named 'X'."},
        {"error then done", TdsReply().error(50000, 16, 1, "Kapot").done(0), SQL_ERROR, 0, 50000,
         "Kapot"},
        {"info then done", TdsReply().info(0, "Bijna klaar").done(3), SQL_SUCCESS_WITH_INFO, 3, 0,
         "Bijna klaar"},
    };
    Odbc odbc;
    connect(odbc);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        peer.clearBatchRules();
        peer.onBatch("DOE IETS", c.reply);
        const SQLRETURN rc = odbc.exec("DOE IETS");
        const auto diags = odbc.stmtDiags();
        EXPECT_EQ(rc, c.rc) << describe(diags).toStdString();
        if (SQL_SUCCEEDED(rc)) {
            SQLLEN count = -2;
            SQLRowCount(odbc.stmt(), &count);
            EXPECT_EQ(count, c.rowCount);
        }
        if (!c.text.isEmpty()) {
            EXPECT_TRUE(hasDiag(diags, c.native, c.text)) << describe(diags).toStdString();
        }
    }
    // The connection survives error replies.
    peer.clearBatchRules();
    EXPECT_EQ(odbc.exec("SELECT 1"), SQL_NO_DATA);
}

TEST_F(TdsPeerTest, ResultSetCarriesTypedValuesAndNulls) {
    const std::vector<TdsColumn> columns = {
        {"id", TdsType::Int},
        {"groot", TdsType::BigInt},
        {"actief", TdsType::Bit},
        {"naam", TdsType::VarChar, 40},
        {"omschrijving", TdsType::NVarChar, 40},
        {"gewijzigd", TdsType::DateTime},
        {"bedrag", TdsType::Decimal, 0, 10, 2},
        {"saldo", TdsType::Money},
    };
    peer.onBatch(
        "FROM Bedrijven",
        TdsReply().resultSet(columns, {{42, qint64(9223372036854775807LL), true, "Jansen é €",
                                        QStringLiteral("€ 中文"), "2024-02-29 13:45:30.500",
                                        "-12345.67", "1234.5678"},
                                       {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                                        QVariant(), QVariant(), QVariant()}}));
    Odbc odbc;
    connect(odbc);
    ASSERT_EQ(odbc.exec("SELECT * FROM Bedrijven"), SQL_SUCCESS)
        << describe(odbc.stmtDiags()).toStdString();

    // The driver reports decimal columns as SQL_NUMERIC and money as SQL_DECIMAL.
    const std::vector<SQLSMALLINT> types = {SQL_INTEGER, SQL_BIGINT,   SQL_BIT,
                                            SQL_VARCHAR, SQL_WVARCHAR, SQL_TYPE_TIMESTAMP,
                                            SQL_NUMERIC, SQL_DECIMAL};
    for (SQLUSMALLINT c = 1; c <= columns.size(); ++c) {
        SQLWCHAR name[64] = {};
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeColW(odbc.stmt(), c, name, 64, &nameLength, &type, &size, &digits, &nullable);
        EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(name), nameLength),
                  columns[c - 1].name);
        EXPECT_EQ(type, types[c - 1]) << "column " << c;
        EXPECT_EQ(nullable, SQL_NULLABLE);
    }

    const auto rows = odbc.fetchAll();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (QStringList{"42", "9223372036854775807", "1", "Jansen é €", "€ 中文",
                                    "2024-02-29 13:45:30.500", "-12345.67", "1234.5678"}));
    for (const QString& value : rows[1]) EXPECT_TRUE(value.isNull()) << value.toStdString();
}

TEST_F(TdsPeerTest, SeveralResultSetsAndRuleOrder) {
    const std::vector<TdsColumn> one = {{"a", TdsType::Int}};
    peer.onBatch(QRegularExpression("^select\\s+eerst", QRegularExpression::CaseInsensitiveOption),
                 TdsReply()
                     .resultSet(one, {{1}})
                     .done(4)
                     .resultSet({{"b", TdsType::NVarChar, 5}}, {{"x"}, {"y"}}));
    peer.onBatch("eerst", TdsReply().error(50000, 16, 1, "tweede regel"));
    Odbc odbc;
    connect(odbc);

    ASSERT_EQ(odbc.exec("SELECT\r\n  EERST"), SQL_SUCCESS)
        << describe(odbc.stmtDiags()).toStdString();
    EXPECT_EQ(odbc.fetchAll(), (std::vector<QStringList>{{"1"}}));
    ASSERT_EQ(SQLMoreResults(odbc.stmt()), SQL_SUCCESS);
    SQLLEN count = 0;
    SQLRowCount(odbc.stmt(), &count);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(SQLMoreResults(odbc.stmt()), SQL_SUCCESS);
    EXPECT_EQ(odbc.fetchAll(), (std::vector<QStringList>{{"x"}, {"y"}}));
    EXPECT_EQ(SQLMoreResults(odbc.stmt()), SQL_NO_DATA);

    // Not matched by the pattern, so the second rule answers.
    EXPECT_EQ(odbc.exec("exec eerst"), SQL_ERROR);
    // Without rules: a plain done, no result set.
    peer.clearBatchRules();
    EXPECT_EQ(odbc.exec("SELECT eerst"), SQL_NO_DATA);
    SQLSMALLINT columns = -1;
    SQLNumResultCols(odbc.stmt(), &columns);
    EXPECT_EQ(columns, 0);
}

TEST_F(TdsPeerTest, QueryTimeOutCancelsTheDelayedReplyAndTheConnectionLivesOn) {
    peer.onBatch("WAITFOR", TdsReply().delay(8000).resultSet({{"n", TdsType::Int}}, {{1}}));
    peer.onBatch("daarna", TdsReply().resultSet({{"n", TdsType::Int}}, {{2}}));
    Odbc odbc;
    connect(odbc);

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(odbc.exec("WAITFOR DELAY '00:00:08'", 1), SQL_ERROR);
    EXPECT_LT(timer.elapsed(), 4000);
    const auto diags = odbc.stmtDiags();
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ(diags[0].state, "HYT00") << describe(diags).toStdString();
    EXPECT_EQ(peer.attentions(), 1);

    ASSERT_EQ(odbc.exec("SELECT daarna"), SQL_SUCCESS) << describe(odbc.stmtDiags()).toStdString();
    EXPECT_EQ(odbc.fetchAll(), (std::vector<QStringList>{{"2"}}));

    // Closing a statement with rows still unread, then going on.
    std::vector<korvex::test::TdsRow> many;
    for (int i = 0; i < 5000; ++i) many.push_back({i});
    peer.onBatch("veel", TdsReply().resultSet({{"n", TdsType::Int}}, many));
    ASSERT_EQ(odbc.exec("SELECT veel"), SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(odbc.stmt()), SQL_SUCCESS);
    ASSERT_EQ(odbc.exec("SELECT daarna"), SQL_SUCCESS) << describe(odbc.stmtDiags()).toStdString();
    EXPECT_EQ(odbc.fetchAll(), (std::vector<QStringList>{{"2"}}));
    EXPECT_TRUE(peer.disconnects().isEmpty());
}

TEST_F(TdsPeerTest, EveryTdsVersionTheDriverSpeaksIsServed) {
    // Row counts, column metadata and error line numbers change width
    // between versions; each one must still decode in the driver.
    peer.onBatch("ALLES", TdsReply()
                              .resultSet({{"naam", TdsType::VarChar, 10},
                                          {"tekst", TdsType::NVarChar, 10},
                                          {"groot", TdsType::BigInt},
                                          {"op", TdsType::DateTime}},
                                         {{"a", "b", qint64(1) << 40, "1999-12-31 23:59:59"}})
                              .done(5)
                              .error(547, 16, 0, "Conflict", 3));
    for (const QString& version : QStringList{"7.0", "7.1", "7.2", "7.3", "7.4"}) {
        SCOPED_TRACE(version.toStdString());
        peer.clearJournal();
        Odbc odbc;
        ASSERT_TRUE(SQL_SUCCEEDED(
            odbc.connect(Odbc::connectionString(peer) + "TDS_Version=" + version + ";")))
            << describe(odbc.dbcDiags()).toStdString();
        ASSERT_EQ(peer.logins().size(), 1u);
        EXPECT_EQ(peer.logins()[0].tdsVersion, version);

        ASSERT_EQ(odbc.exec("ALLES"), SQL_SUCCESS) << describe(odbc.stmtDiags()).toStdString();
        EXPECT_EQ(
            odbc.fetchAll(),
            (std::vector<QStringList>{{"a", "b", "1099511627776", "1999-12-31 23:59:59.000"}}));
        ASSERT_EQ(SQLMoreResults(odbc.stmt()), SQL_SUCCESS);
        SQLLEN count = 0;
        SQLRowCount(odbc.stmt(), &count);
        EXPECT_EQ(count, 5);
        EXPECT_EQ(SQLMoreResults(odbc.stmt()), SQL_ERROR);
        EXPECT_TRUE(hasDiag(odbc.stmtDiags(), 547, "Conflict"))
            << describe(odbc.stmtDiags()).toStdString();
    }
}

TEST_F(TdsPeerTest, TransactionRequestsAreAnswered) {
    Odbc odbc;
    connect(odbc);
    ASSERT_EQ(SQLSetConnectAttrW(odbc.dbc(), SQL_ATTR_AUTOCOMMIT,
                                 reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
              SQL_SUCCESS)
        << describe(odbc.dbcDiags()).toStdString();
    EXPECT_EQ(odbc.exec("UPDATE t SET a = 1"), SQL_NO_DATA);
    EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, odbc.dbc(), SQL_ROLLBACK), SQL_SUCCESS)
        << describe(odbc.dbcDiags()).toStdString();
    EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, odbc.dbc(), SQL_COMMIT), SQL_SUCCESS)
        << describe(odbc.dbcDiags()).toStdString();
    EXPECT_EQ(peer.transactionRequests(), (QStringList{"begin", "rollback", "commit"}));
    EXPECT_EQ(peer.batchesExceptDriver(), QStringList{"UPDATE t SET a = 1"});
}

TEST_F(TdsPeerTest, ConnectionsKeepTransactionsLocksAndRowCountsLikeTheServer) {
    const QString lock =
        "DECLARE @uitkomst int\r\nEXEC @uitkomst = [KORVEX_42].sys.sp_getapplock @Resource = "
        "N'KorvexSQL script', @LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = "
        "0\r\nSELECT @uitkomst\r\n";
    const QString release =
        "DECLARE @uitkomst int\r\nEXEC @uitkomst = [korvex_42].sys.sp_releaseapplock @Resource "
        "= N'KorvexSQL script', @LockOwner = 'Session'\r\nSELECT @uitkomst\r\n";
    const QString count = "SET NOCOUNT OFF\r\nSELECT @@TRANCOUNT\r\n";
    peer.onBatch("FOUT", TdsReply().error(50000, 16, 1, "Kapot"));
    peer.onBatch("BUITEN", TdsReply().done(3).refuseInTransaction(
                               226, 16, 1, "not allowed within multi-statement transaction"));
    peer.onBatch("update stempel", TdsReply().done(1));
    struct Step {
        int connection;  // -1: the first connection goes away
        QString batch;
        SQLRETURN rc;
        QString value;     // the first value of the reply, or the native error number
        SQLLEN rows = -2;  // -2: not checked
    };
    const std::vector<Step> steps = {
        {0, lock, SQL_SUCCESS, "0"},
        {1, lock, SQL_SUCCESS, "-1"},
        {-1, {}, SQL_SUCCESS, {}},
        {1, lock, SQL_SUCCESS, "0"},
        {1, "SET XACT_ABORT ON\r\nBEGIN TRANSACTION\r\n", SQL_NO_DATA, {}},
        {1, count, SQL_SUCCESS, "1", 1},
        {1, "FOUT", SQL_ERROR, "50000"},
        {1, count, SQL_SUCCESS, "0"},
        {1, "BUITEN", SQL_SUCCESS, {}, 3},
        {1, "SET XACT_ABORT OFF BEGIN TRAN -- COMMIT\r\n", SQL_NO_DATA, {}},
        {1, "BUITEN", SQL_ERROR, "226"},
        {1, count, SQL_SUCCESS, "1"},
        {1, "COMMIT TRANSACTION", SQL_NO_DATA, {}},
        {1, "COMMIT TRANSACTION", SQL_ERROR, "3902"},
        {1, "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION", SQL_NO_DATA, {}},
        {1, "ROLLBACK", SQL_ERROR, "3903"},
        {1, release, SQL_SUCCESS, "0"},
        {1, release, SQL_ERROR, "1223"},
        {1, "SET NOCOUNT ON", SQL_NO_DATA, {}},
        {1, "update stempel", SQL_NO_DATA, {}, -1},
        {1, "SET NOCOUNT OFF", SQL_NO_DATA, {}},
        {1, "update stempel", SQL_SUCCESS, {}, 1},
    };
    std::vector<std::unique_ptr<Odbc>> odbc;
    for (int i = 0; i < 2; ++i) {
        odbc.push_back(std::make_unique<Odbc>());
        connect(*odbc.back());
    }
    for (const Step& s : steps) {
        SCOPED_TRACE(s.batch.toStdString());
        if (s.connection < 0) {
            odbc[0].reset();
            ASSERT_TRUE(peer.waitForDisconnects(1));
            continue;
        }
        Odbc& c = *odbc[s.connection];
        EXPECT_EQ(c.exec(s.batch), s.rc) << describe(c.stmtDiags()).toStdString();
        if (s.rc == SQL_ERROR) {
            EXPECT_TRUE(hasDiag(c.stmtDiags(), s.value.toInt(), {}))
                << describe(c.stmtDiags()).toStdString();
        } else if (!s.value.isEmpty()) {
            EXPECT_EQ(c.fetchAll(), (std::vector<QStringList>{{s.value}}));
        }
        SQLLEN rows = -2;
        if (s.rows != -2) SQLRowCount(c.stmt(), &rows);
        EXPECT_EQ(rows, s.rows);
    }
    const QString held = " KORVEX_42 KorvexSQL script";
    EXPECT_EQ(peer.applockEvents(),
              (QStringList{"granted" + held, "refused" + held, "granted" + held,
                           "released korvex_42 KorvexSQL script"}));
    EXPECT_EQ(peer.transactionEvents(),
              (QStringList{"begin 1", "rollback 0", "begin 1", "commit 0"}));
}

TEST_F(TdsPeerTest, DisconnectsAreJournaled) {
    peer.onBatch("VERBREEK", TdsReply().disconnect());
    int first = 0;
    {
        Odbc odbc;
        connect(odbc);
        first = peer.logins().back().connection;
    }
    ASSERT_TRUE(peer.waitForDisconnects(1));
    EXPECT_EQ(peer.disconnects(), QList<int>{first});

    // A rule that drops the connection: the driver reports a failure, not success.
    Odbc odbc;
    connect(odbc);
    EXPECT_EQ(odbc.exec("VERBREEK"), SQL_ERROR);
    EXPECT_TRUE(peer.waitForDisconnects(2));
}

}  // namespace
