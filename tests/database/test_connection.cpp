#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>

#include "Deployment.h"
#include "database/access/Connection.h"
#include "platform/KorvexError.h"
#include "platform/OdbcDriver.h"
#include "tests/support/Bestanden.h"
#include "tests/support/TdsPeer.h"

using namespace korvex;
using namespace korvex::db;

namespace {

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(peer.start(&error)) << error.toStdString();
    }
    test::TdsPeer peer;
};

}  // namespace

TEST(ConnectionString, ProviderFormMatchesTheWorkedExample) {
    EXPECT_EQ(Connection::providerString({"PC01\\SQLEXPRESS", "sa", "", "master"}),
              "Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=sa;"
              "Initial Catalog=master;Data Source=PC01\\SQLEXPRESS");
    EXPECT_EQ(Connection::providerString({"PC01\\SQLEXPRESS", "sa", "", "KORVEX_42"}),
              "Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=sa;"
              "Initial Catalog=KORVEX_42;Data Source=PC01\\SQLEXPRESS");
}

TEST(ConnectionString, DriverFormQuotesSeparatorsAndRefusesClosingBraces) {
    struct Case {
        ConnectionValues values;
        QString expected;  // empty: refused
    };
    const Case cases[] = {
        {{"host", "sa", "", "master"}, "Driver={FreeTDS};Server=host;UID=sa;PWD=;Database=master;"},
        {{"host\\SQLEXPRESS", "sa", "x", "m"},
         "Driver={FreeTDS};Server=host\\SQLEXPRESS;UID=sa;PWD=x;Database=m;"},
        {{"host,1433", "sa", "x", "m"},
         "Driver={FreeTDS};Server=host,1433;UID=sa;PWD=x;Database=m;"},
        {{"host", "sa", "a;b", "m"}, "Driver={FreeTDS};Server=host;UID=sa;PWD={a;b};Database=m;"},
        {{"host", "sa", "a=b", "m"}, "Driver={FreeTDS};Server=host;UID=sa;PWD={a=b};Database=m;"},
        {{"host", "s{a", "x", "m"}, "Driver={FreeTDS};Server=host;UID={s{a};PWD=x;Database=m;"},
        {{"host", "sa", " x ", "m"}, "Driver={FreeTDS};Server=host;UID=sa;PWD={ x };Database=m;"},
        {{"host;Server=evil", "sa", "x", "m"},
         "Driver={FreeTDS};Server={host;Server=evil};UID=sa;PWD=x;Database=m;"},
        {{"host", "sa", "a}b", "m"}, ""},
        {{"host", "sa", "x", "m};UID=evil"}, ""},
    };
    for (const Case& c : cases) {
        const QString what = c.values.password + "/" + c.values.catalog;
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(test::FoutVan([&] {
                            Connection::odbcString("FreeTDS", c.values);
                        }).contains("bevat het teken \"}\""))
                << what.toStdString();
        } else {
            EXPECT_EQ(Connection::odbcString("FreeTDS", c.values), c.expected)
                << what.toStdString();
        }
    }
}

TEST(OdbcDriverChoice, TakesTheNewestSqlServerDriverWithTheAttributesItNeeds) {
    struct Case {
        QStringList installed;
        OdbcDriverKeuze expected;
    };
    const Case cases[] = {
        {{"SQL Server", "ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"},
         {"ODBC Driver 18 for SQL Server", "Encrypt=Optional;"}},
        {{"ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server"},
         {"ODBC Driver 18 for SQL Server", "Encrypt=Optional;"}},
        {{"Microsoft Access Driver (*.mdb)", "SQL Server", "ODBC Driver 17 for SQL Server"},
         {"ODBC Driver 17 for SQL Server", ""}},
        {{"ODBC Driver 13 for SQL Server", "ODBC Driver 9 for SQL Server"},
         {"ODBC Driver 13 for SQL Server", ""}},
        {{"SQL Server", "SQL Server Native Client 11.0"}, {"SQL Server", ""}},
        {{"ODBC Driver 18 for SQL Server (oud)", "PostgreSQL ODBC Driver 19 for SQL Server"},
         {"SQL Server", ""}},
        {{}, {"SQL Server", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OdbcDriver::KiesVoorSqlServer(c.installed), c.expected)
            << c.installed.join(" | ").toStdString();
    EXPECT_EQ(OdbcDriver::VoorSqlServer("FreeTDS"), (OdbcDriverKeuze{"FreeTDS", ""}));
}

TEST_F(ConnectionTest, OpensWithTheValuesOfTheMomentAndRepeatsNothingWhenOpen) {
    peer.setLogin("beheer", "p;w=1{");
    peer.addDatabase("KORVEX_42");
    Connection c(KORVEX_ODBC_DRIVER);
    int before = 0, after = 0, disconnected = 0;
    c.beforeConnect = [&] {
        ++before;
        c.setValues({peer.server(), "beheer", "p;w=1{", "KORVEX_42"});
    };
    c.afterConnect = [&] { ++after; };
    c.afterDisconnect = [&] { ++disconnected; };

    c.close();  // closed already: nothing at all
    EXPECT_EQ(disconnected, 0);
    c.open();
    EXPECT_TRUE(c.isOpen());
    c.open();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    const auto logins = peer.logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].user, "beheer");
    EXPECT_EQ(logins[0].password, "p;w=1{");
    EXPECT_EQ(logins[0].database, "KORVEX_42");
    EXPECT_TRUE(logins[0].accepted);
    c.close();
    c.close();
    EXPECT_EQ(disconnected, 1);
    EXPECT_FALSE(c.isOpen());
}

TEST_F(ConnectionTest, RefusedLoginAndUnknownDatabaseCarryTheServersTextWithoutPrefixes) {
    struct Case {
        ConnectionValues values;
        QString expected;
    };
    const Case cases[] = {
        {{peer.server(), "sa", "fout", "master"}, "Login failed for user 'sa'."},
        {{peer.server(), "sa", "geheim", "KORVEX_7"},
         "Cannot open database \"KORVEX_7\" requested by the login. The login failed."},
    };
    for (const Case& c : cases) {
        Connection conn(KORVEX_ODBC_DRIVER);
        conn.setValues(c.values);
        const QString message = test::FoutVan([&] { conn.open(); });
        EXPECT_TRUE(message.contains(c.expected)) << message.toStdString();
        EXPECT_FALSE(message.contains("[FreeTDS]")) << message.toStdString();
        EXPECT_FALSE(message.contains("[SQL Server]")) << message.toStdString();
        EXPECT_FALSE(conn.isOpen());
    }
}

TEST(ConnectionFailure, UnreachableServerFailsWithinTheConnectionTimeout) {
    // The system completes the connection into the listen queue, and nobody
    // ever answers there: only the connection time-out ends the wait.
    QTcpServer stil;
    ASSERT_TRUE(stil.listen(QHostAddress::LocalHost));

    Connection c(KORVEX_ODBC_DRIVER);
    c.connectionTimeout = 3;
    c.setValues({QString("127.0.0.1,%1").arg(stil.serverPort()), "sa", "geheim", "master"});
    QElapsedTimer timer;
    timer.start();
    const QString message = test::FoutVan([&] { c.open(); });
    const qint64 elapsed = timer.elapsed();
    EXPECT_GE(elapsed, 3000) << message.toStdString();
    EXPECT_LT(elapsed, 3000 + 5000) << message.toStdString();
    EXPECT_NE(message, "<no error>");
    EXPECT_FALSE(message.isEmpty());
    EXPECT_FALSE(c.isOpen());
}
