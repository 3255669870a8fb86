#include "database/access/Command.h"

#include "database/access/Connection.h"
#include "database/access/Statement.h"
#include "platform/KorvexError.h"
#include "platform/Tekst.h"

namespace korvex::db {

void Command::execute() {
    rowsAffected = -1;
    connection_.open();
    try {
        Statement statement(connection_);
        if (!statement.execute(commandText, commandTimeout)) return;
        // Every result must be read: an error of a later statement only shows here.
        do {
            const qint64 rows = statement.rowCount();
            if (rows >= 0) rowsAffected = rows;
        } while (statement.nextResult());
    } catch (...) {
        connection_.forgetIfLost();
        throw;
    }
}

qint64 Command::executeInteger() {
    rowsAffected = -1;
    connection_.open();
    try {
        Statement statement(connection_);
        bool gevonden = false;
        SQLBIGINT waarde = 0;
        if (statement.execute(commandText, commandTimeout)) {
            do {
                SQLSMALLINT kolommen = 0;
                SQLNumResultCols(statement.handle(), &kolommen);
                if (gevonden || kolommen < 1) continue;
                const SQLRETURN rc = SQLFetch(statement.handle());
                if (rc == SQL_NO_DATA) continue;
                statement.check(rc, QStringLiteral("De opdracht is mislukt"));
                SQLLEN indicator = 0;
                statement.check(SQLGetData(statement.handle(), 1, SQL_C_SBIGINT, &waarde,
                                           sizeof waarde, &indicator),
                                QStringLiteral("Een veld kon niet worden gelezen"));
                gevonden = indicator != SQL_NULL_DATA;
            } while (statement.nextResult());
        }
        if (!gevonden)
            throw KorvexError(QStringLiteral("De server gaf geen getal terug op: %1")
                                  .arg(Tekst::trimmed(commandText)));
        return qint64(waarde);
    } catch (...) {
        connection_.forgetIfLost();
        throw;
    }
}

}  // namespace korvex::db
