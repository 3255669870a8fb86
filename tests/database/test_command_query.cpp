#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "Deployment.h"
#include "database/access/Command.h"
#include "database/access/Connection.h"
#include "database/access/Query.h"
#include "platform/KorvexError.h"
#include "tests/support/Bestanden.h"
#include "tests/support/TdsPeer.h"

using namespace korvex;
using namespace korvex::db;
using test::TdsColumn;
using test::TdsReply;
using test::TdsType;

namespace {

class AccessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(peer.start(&error)) << error.toStdString();
        connection.setValues({peer.server(), "sa", "geheim", "master"});
    }
    test::TdsPeer peer;
    Connection connection{KORVEX_ODBC_DRIVER};
};

}  // namespace

TEST_F(AccessTest, CommandSendsTheWholeBatchOnceAndDiscardsResults) {
    peer.onBatch("SELECT", TdsReply()
                               .resultSet({{"a", TdsType::Int}}, {{1}, {2}})
                               .done(1)
                               .resultSet({{"b", TdsType::VarChar}}, {{"x"}}));
    Command command(connection);
    EXPECT_EQ(command.commandTimeout, 30);
    command.commandText = "USE master\r\n;\r\nSELECT 1 AS a\r\nSELECT 'x' AS b\r\n";
    command.execute();
    EXPECT_TRUE(connection.isOpen()) << "executing opens on demand and leaves it open";
    EXPECT_EQ(peer.batchesExceptDriver(), QStringList({command.commandText}));
    // The connection is still usable after the discarded results.
    command.commandText = "CREATE DATABASE X\r\n";
    command.execute();
    EXPECT_EQ(peer.batchesExceptDriver().size(), 2);
}

TEST_F(AccessTest, RefusedStatementRaisesTheServersMessage) {
    peer.onBatch("DROP DATABASE",
                 TdsReply().error(3701, 11, 1,
                                  "Cannot drop the database 'KORVEX_9', because it does not "
                                  "exist or you do not have permission."));
    Command command(connection);
    command.commandText = "USE master\r\n;\r\nDROP DATABASE KORVEX_9 \r\n;\r\n";
    const QString message = test::FoutVan([&] { command.execute(); });
    EXPECT_EQ(message,
              "Cannot drop the database 'KORVEX_9', because it does not exist or you do not "
              "have permission.");
}

TEST_F(AccessTest, CommandTimeoutEndsADelayedBatchWithTheDriversMessage) {
    peer.onBatch("WAITFOR", TdsReply().delay(8000).done());
    Command command(connection);
    command.commandTimeout = 1;
    command.commandText = "WAITFOR DELAY '00:00:08'\r\n";
    QElapsedTimer timer;
    timer.start();
    const QString message = test::FoutVan([&] { command.execute(); });
    EXPECT_LT(timer.elapsed(), 6000) << "the time-out must not wait for the server";
    EXPECT_TRUE(message.contains("timeout", Qt::CaseInsensitive) ||
                message.contains("time-out", Qt::CaseInsensitive))
        << message.toStdString();
    // The connection survives the cancelled batch.
    command.commandText = "SELECT 1\r\n";
    command.commandTimeout = 30;
    EXPECT_EQ(test::FoutVan([&] { command.execute(); }), "<no error>");
}

TEST_F(AccessTest, QueryReadsBoundFieldsAsTextNullAndEmptyResultsAsEmpty) {
    peer.onBatch("from bedrijven",
                 TdsReply().resultSet(
                     {{"bdr_id", TdsType::Int},
                      {"bdr_pincode", TdsType::VarChar, 55},
                      {"bdr_naam", TdsType::NVarChar, 50},
                      {"bdr_start", TdsType::DateTime}},
                     {{1, "8812", QVariant(), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))},
                      {2, "x", "y", QVariant()}}));
    peer.onBatch("from leeg", TdsReply().resultSet({{"bdr_pincode", TdsType::VarChar}}, {}));
    Query query(connection);
    query.sql = "select * from bedrijven\r\n";
    query.fields = {{"bdr_id", FieldKind::Integer, 0, true},
                    {"bdr_pincode", FieldKind::String, 55, true},
                    {"bdr_naam", FieldKind::String, 50, false},
                    {"bdr_start", FieldKind::DateTime, 0, false}};
    query.open();
    EXPECT_TRUE(query.isOpen());
    EXPECT_EQ(query.recordCount(), 2);
    EXPECT_EQ(query.fieldText("bdr_id"), "1");
    EXPECT_EQ(query.fieldText("bdr_pincode"), "8812");
    EXPECT_EQ(query.fieldText("bdr_naam"), "");
    EXPECT_EQ(query.fieldDateTime("bdr_start"), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    query.close();
    EXPECT_FALSE(query.isOpen());

    Query empty(connection);
    empty.sql = "select * from leeg\r\n";
    empty.fields = {{"bdr_pincode", FieldKind::String, 55, true}};
    empty.open();
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.fieldText("bdr_pincode"), "");
    EXPECT_FALSE(empty.fieldDateTime("bdr_pincode").isValid());
}

TEST_F(AccessTest, QueryRefusesResultsLackingOrMistypingABoundField) {
    peer.onBatch("select", TdsReply().resultSet(
                               {{"bdr_id", TdsType::VarChar}, {"bdr_pincode", TdsType::VarChar}},
                               {{"1", "2"}}));
    struct Case {
        FieldDef field;
        QString message;
    };
    const Case cases[] = {
        {{"por_inlogcode", FieldKind::String, 20, false}, "Field 'por_inlogcode' not found"},
        {{"bdr_id", FieldKind::Integer, 0, true},
         "Type mismatch for field 'bdr_id', expecting: Integer actual: String"},
    };
    for (const Case& c : cases) {
        Query query(connection);
        query.sql = "select\r\n";
        query.fields = {{"bdr_pincode", FieldKind::String, 55, true}, c.field};
        EXPECT_EQ(test::FoutVan([&] { query.open(); }), c.message);
        EXPECT_FALSE(query.isOpen());
    }
}
