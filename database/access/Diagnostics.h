#pragma once

#include "platform/Odbc.h"

#include <QString>
#include <QStringList>

namespace korvex::db {

// The diagnostic records of one ODBC handle, as the operator should read them.
class Diagnostics {
  public:
    struct Record {
        QString state;
        int nativeError = 0;
        QString text;  // without the driver's "[vendor][component]" prefixes
    };

    static QList<Record> read(SQLSMALLINT handleType, SQLHANDLE handle);
    // Server messages first (the driver does not keep the server's order),
    // then the driver's own; duplicates once; joined by line breaks.
    static QString message(const QList<Record>& records, const QString& fallback);
    static QString stripPrefixes(const QString& text);
    // Throws SqlError with the handle's message when rc is a failure.
    static void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle,
                      const QString& fallback);
    // The handle's records as an error: its message, numbers and states.
    [[noreturn]] static void raise(SQLSMALLINT handleType, SQLHANDLE handle,
                                   const QString& fallback);
    static bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }
};

}  // namespace korvex::db
