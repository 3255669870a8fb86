#include "database/access/Statement.h"

#include <limits>

#include "database/access/Connection.h"
#include "database/access/Diagnostics.h"
#include "platform/KorvexError.h"

namespace korvex::db {

Statement::Statement(Connection& connection) {
    Diagnostics::check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt_), SQL_HANDLE_DBC,
                       connection.handle(),
                       QStringLiteral("De opdracht kon niet worden aangemaakt"));
}

Statement::~Statement() {
    if (stmt_ != SQL_NULL_HSTMT) {
        // Discards whatever the server still has pending for this batch.
        SQLFreeStmt(stmt_, SQL_CLOSE);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    }
}

void Statement::check(SQLRETURN rc, const QString& fallback) const {
    Diagnostics::check(rc, SQL_HANDLE_STMT, stmt_, fallback);
}

void Statement::throwFor(SQLHSTMT stmt, const QString& fallback) {
    Diagnostics::raise(SQL_HANDLE_STMT, stmt, fallback);
}

bool Statement::execute(const QString& text, int timeoutSeconds) {
    SQLSetStmtAttrW(stmt_, SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(0, timeoutSeconds))),
                    0);
    // Escape clauses such as {fn ...} are the server's business, not the driver's.
    SQLSetStmtAttrW(stmt_, SQL_ATTR_NOSCAN, reinterpret_cast<SQLPOINTER>(SQL_NOSCAN_ON), 0);
    if (text.size() > std::numeric_limits<SQLINTEGER>::max())
        throw KorvexError(QStringLiteral("De opdracht is te lang om in één keer te verzenden"));
    // QString is UTF-16 already: the driver reads it in place, so a large
    // script is not copied once more on its way.
    const SQLRETURN rc = SQLExecDirectW(
        stmt_, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16())),
        SQLINTEGER(text.size()));
    check(rc, QStringLiteral("De opdracht is mislukt"));
    // SQL_NO_DATA: a statement without any result, such as CREATE DATABASE.
    return rc != SQL_NO_DATA;
}

qint64 Statement::rowCount() const {
    SQLLEN rows = -1;
    if (!Diagnostics::succeeded(SQLRowCount(stmt_, &rows))) return -1;
    return qint64(rows);
}

bool Statement::nextResult() {
    const SQLRETURN rc = SQLMoreResults(stmt_);
    if (rc == SQL_NO_DATA) return false;
    check(rc, QStringLiteral("De opdracht is mislukt"));
    return true;
}

}  // namespace korvex::db
