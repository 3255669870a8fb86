#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <vector>

#include "tests/support/PeerProcess.h"

namespace korvex::test {

// One login attempt as the peer received it.
struct TdsLogin {
    int connection = 0;
    QString user;
    QString password;
    QString database;    // as sent; empty when the client named none
    QString serverName;  // as sent; the driver sends "host,port" with a NUL for the comma
    QString appName;
    QString hostName;
    QString language;
    QString tdsVersion;  // "7.4", "7.3", ...
    int packetSize = 0;  // what the client asked for
    bool accepted = false;
};

// One SQL batch as the peer received it.
struct TdsBatch {
    int connection = 0;
    QString text;             // exactly as sent, CR LF kept
    bool fromDriver = false;  // sent by the driver itself right after logging in
};

enum class TdsType {
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Bit,
    Float,
    Real,
    Money,
    SmallMoney,
    DateTime,
    SmallDateTime,
    Date,
    Decimal,
    Numeric,
    UniqueIdentifier,
    VarChar,
    Char,
    NVarChar,
    NChar,
    VarBinary
};

struct TdsColumn {
    QString name;
    TdsType type = TdsType::Int;
    int length = 0;  // characters for (n)(var)char, bytes for varbinary; 0 means 50
    int precision = 18;
    int scale = 0;
    bool nullable = true;
};

// Values: a null QVariant is NULL; numbers as numbers, decimals and money
// preferably as strings ("12.50"), date/time as QDateTime/QDate or
// "yyyy-MM-dd HH:mm:ss.zzz", varbinary as QByteArray.
using TdsRow = QVariantList;

// What the peer answers to a batch: a list of statements, each closed by a
// DONE. Errors and infos belong to the statement that the next done() or
// resultSet() closes; a reply that does not end in a done gets one.
class TdsReply {
  public:
    TdsReply& done(qint64 rowCount = -1);  // -1: no row count
    TdsReply& error(int number, int severity, int state, const QString& message, int line = 1,
                    const QString& procedure = {});
    TdsReply& info(int number, const QString& message, int state = 1);
    TdsReply& resultSet(const std::vector<TdsColumn>& columns, const std::vector<TdsRow>& rows);
    // Waits before answering; an attention (the driver's query time-out or
    // cancel) during the wait is answered with DONE_ATTN instead.
    TdsReply& delay(int milliseconds);
    // Closes the connection instead of answering (after the delay, if any).
    TdsReply& disconnect();
    // Inside a transaction the batch gets this error alone and none of its
    // statements take effect; outside one the reply above is sent.
    TdsReply& refuseInTransaction(int number, int severity, int state, const QString& message);

    QJsonObject toJson() const;

  private:
    QJsonArray items_;
    QJsonObject refusal_;
    int delayMs_ = 0;
    bool disconnect_ = false;
};

// A TDS server on 127.0.0.1 (tests/peers/tdspeer.py) that the real ODBC
// driver logs in to. Rules may change at any time; the peer reads them again
// for every login and batch.
class TdsPeer {
  public:
    TdsPeer();  // login "sa"/"geheim", database "master", no batch rules
    ~TdsPeer();
    TdsPeer(const TdsPeer&) = delete;
    TdsPeer& operator=(const TdsPeer&) = delete;

    // Starts the peer and waits for its port; false (and *error) on failure.
    bool start(QString* error = nullptr);
    void stop();
    bool isRunning() const;

    quint16 port() const { return process_.port(); }
    QString server() const;  // "127.0.0.1,<port>"

    // Login rules.
    void setLogin(const QString& user, const QString& password);
    void removeLogin(const QString& user);
    void addDatabase(const QString& name);  // names compare case-insensitively
    void removeDatabase(const QString& name);

    // Batch rules: first match wins; unmatched batches get a plain DONE.
    void onBatch(const QString& substring, const TdsReply& reply,
                 Qt::CaseSensitivity cs = Qt::CaseSensitive);
    // Python regular-expression syntax, searched anywhere in the batch;
    // case-insensitive, dot-matches-everything and multiline options carry over.
    void onBatch(const QRegularExpression& pattern, const TdsReply& reply);
    void clearBatchRules();

    // The journal since the start or the last clearJournal().
    std::vector<TdsLogin> logins() const;
    std::vector<TdsBatch> batchEntries() const;
    QStringList batches() const;              // every batch, in order
    QStringList batchesExceptDriver() const;  // without what the driver sent on its own
    QList<int> disconnects() const;           // connection ids, in order
    int attentions() const;
    // "begin", "commit", "rollback": the driver's transaction requests, sent
    // when the program switches autocommit off and ends transactions.
    QStringList transactionRequests() const;
    // Every change of a connection's @@TRANCOUNT, in order over all
    // connections: "begin 1", "commit 0", "rollback 0" (what, then the count).
    QStringList transactionEvents() const;
    // "granted <database> <resource>", "refused ...", "released ...".
    QStringList applockEvents() const;
    void clearJournal();
    // Waits until the journal holds at least count disconnects.
    bool waitForDisconnects(int count, int timeoutMs = 5000) const;

    QString journalPath() const;
    QString rulesPath() const;

  private:
    QList<QJsonObject> entries(const QString& event) const;
    void writeRules() const;

    QTemporaryDir dir_;
    PeerProcess process_;
    qint64 journalOffset_ = 0;
    QMap<QString, QString> logins_;
    QStringList databases_;
    QJsonArray batchRules_;
};

}  // namespace korvex::test
