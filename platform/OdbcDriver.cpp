#include "platform/OdbcDriver.h"

#include "platform/Odbc.h"

#include <QRegularExpression>
#include <algorithm>
#include <iterator>

namespace korvex {

OdbcDriverKeuze OdbcDriver::KiesVoorSqlServer(const QStringList& geinstalleerd) {
    static const QRegularExpression nieuw(QStringLiteral("^ODBC Driver (\\d{1,4}) for SQL Server$"),
                                          QRegularExpression::CaseInsensitiveOption);
    int beste = -1;
    QString naam;
    for (const QString& driver : geinstalleerd) {
        const QRegularExpressionMatch m = nieuw.match(driver);
        if (!m.hasMatch()) continue;
        const int versie = m.captured(1).toInt();
        if (versie > beste) {
            beste = versie;
            naam = driver;
        }
    }
    if (beste < 0) return {QStringLiteral("SQL Server"), QString()};
    // From version 18 on the driver encrypts and checks the server's
    // certificate by default, which a self-signed Express instance fails;
    // optional encryption connects as the older drivers do.
    return {naam, beste >= 18 ? QStringLiteral("Encrypt=Optional;") : QString()};
}

QStringList OdbcDriver::Geinstalleerd() {
    QStringList namen;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return namen;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLWCHAR beschrijving[512];
    SQLWCHAR attributen[2048];
    SQLSMALLINT lengte = 0;
    SQLSMALLINT attributenLengte = 0;
    SQLUSMALLINT richting = SQL_FETCH_FIRST;
    for (;;) {
        const SQLRETURN rc =
            SQLDriversW(env, richting, beschrijving, SQLSMALLINT(std::size(beschrijving)), &lengte,
                        attributen, SQLSMALLINT(std::size(attributen)), &attributenLengte);
        if (!SQL_SUCCEEDED(rc)) break;
        richting = SQL_FETCH_NEXT;
        // A name cut short by the buffer matches no driver: left out.
        if (rc == SQL_SUCCESS_WITH_INFO && lengte >= SQLSMALLINT(std::size(beschrijving))) continue;
        const qsizetype n = std::min<qsizetype>(std::max<SQLSMALLINT>(lengte, 0),
                                                qsizetype(std::size(beschrijving)) - 1);
        namen.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(beschrijving), n));
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return namen;
}

OdbcDriverKeuze OdbcDriver::VoorSqlServer(const QString& gebouwd) {
    if (!gebouwd.isEmpty()) return {gebouwd, QString()};
    static const OdbcDriverKeuze gekozen = KiesVoorSqlServer(Geinstalleerd());
    return gekozen;
}

}  // namespace korvex
