#include "database/access/OdbcEnvironment.h"

#include "platform/Odbc.h"

#include "platform/KorvexError.h"

namespace korvex::db {

SQLHENV OdbcEnvironment::handle() {
    static SQLHENV env = [] {
        SQLHENV made = SQL_NULL_HENV;
        if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &made) == SQL_ERROR)
            return SQLHENV(SQL_NULL_HENV);
        SQLSetEnvAttr(made, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return made;
    }();
    if (env == SQL_NULL_HENV)
        throw KorvexError(QStringLiteral("De ODBC-omgeving kon niet worden aangemaakt"));
    return env;
}

}  // namespace korvex::db
