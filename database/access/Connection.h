#pragma once

#include "platform/Odbc.h"

#include <QString>
#include <functional>

namespace korvex::db {

// The four values a SQL Server connection is opened with.
struct ConnectionValues {
    QString server;  // "host", "host\instance" or "host,port"
    QString login;
    QString password;
    QString catalog;  // initial database
    bool operator==(const ConnectionValues&) const = default;
};

// One ODBC connection to SQL Server. Opening runs beforeConnect first, so
// the owner can hand in the values typed at that moment.
class Connection {
  public:
    explicit Connection(QString driver);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    std::function<void()> beforeConnect;
    std::function<void()> afterConnect;
    std::function<void()> afterDisconnect;

    int connectionTimeout = 15;  // seconds
    int commandTimeout = 60;     // seconds, for statements on the connection itself

    // Replaces the values only when they differ.
    void setValues(const ConnectionValues& values);
    const ConnectionValues& values() const { return values_; }
    // The string in the provider form the tool has always shown.
    QString connectionString() const;
    // The same four values in the ODBC driver's own form, each value quoted
    // where needed; throws KorvexError for a value the form cannot carry.
    QString odbcConnectionString() const;

    bool isOpen() const { return dbc_ != SQL_NULL_HDBC; }
    void open();
    void close();
    // After a failure: a connection the server or network has dropped counts
    // as closed again, so the next open builds a fresh one instead of every
    // later command failing on the dead link. No disconnect event: nothing
    // was closed with success.
    void forgetIfLost();
    SQLHDBC handle() const { return dbc_; }

    static QString providerString(const ConnectionValues& values);
    static QString odbcString(const QString& driver, const ConnectionValues& values,
                              const QString& extra = QString());

  private:
    void release();
    QString driver_;
    ConnectionValues values_;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
};

}  // namespace korvex::db
