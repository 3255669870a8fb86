#pragma once

#include "platform/Odbc.h"

#include <QString>

namespace korvex::db {

class Connection;

// One ODBC statement handle for one execution; freed on every path.
class Statement {
  public:
    explicit Statement(Connection& connection);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Sends the whole text as one batch; throws KorvexError on failure.
    // Returns false when the batch produced no result at all (DDL).
    bool execute(const QString& text, int timeoutSeconds);
    // Moves to the next result; false when there is none. Throws on failure.
    bool nextResult();
    // The rows the current result changed, as the server counted them; -1
    // when it gave no count (NOCOUNT, or a result set).
    qint64 rowCount() const;
    // Throws the statement's diagnostics unless rc succeeded.
    void check(SQLRETURN rc, const QString& fallback) const;
    SQLHSTMT handle() const { return stmt_; }
    [[noreturn]] static void throwFor(SQLHSTMT stmt, const QString& fallback);

  private:
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

}  // namespace korvex::db
