#include "database/access/Connection.h"

#include "Deployment.h"
#include "database/access/Diagnostics.h"
#include "database/access/OdbcEnvironment.h"
#include "platform/KorvexError.h"
#include "platform/OdbcDriver.h"

namespace korvex::db {

namespace {

// ODBC form of one value: plain when harmless, in braces when it holds a
// separator; braces cannot carry a "}" at all in the driver's parser.
QString odbcValue(const QString& key, const QString& value) {
    if (value.contains(u'}'))
        throw KorvexError(QStringLiteral("De waarde van %1 bevat het teken \"}\"; "
                                         "daarmee kan geen verbinding worden gemaakt")
                              .arg(key));
    const bool needsBraces = value.contains(u';') || value.contains(u'=') || value.contains(u'{') ||
                             value.startsWith(u' ') || value.endsWith(u' ');
    return needsBraces ? u'{' + value + u'}' : value;
}

}  // namespace

Connection::Connection(QString driver) : driver_(std::move(driver)) {}

Connection::~Connection() {
    if (dbc_ != SQL_NULL_HDBC) {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
}

void Connection::setValues(const ConnectionValues& values) {
    if (!(values == values_)) values_ = values;
}

QString Connection::providerString(const ConnectionValues& v) {
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + v.password +
           QStringLiteral(";Persist Security Info=True;User ID=") + v.login +
           QStringLiteral(";Initial Catalog=") + v.catalog + QStringLiteral(";Data Source=") +
           v.server;
}

QString Connection::odbcString(const QString& driver, const ConnectionValues& v,
                               const QString& extra) {
    // The driver takes "host", "host\instance" and "host,port" as they are.
    return QStringLiteral("Driver={") + driver + QStringLiteral("};Server=") +
           odbcValue(QStringLiteral("SQL server"), v.server) + QStringLiteral(";UID=") +
           odbcValue(QStringLiteral("Inlognaam"), v.login) + QStringLiteral(";PWD=") +
           odbcValue(QStringLiteral("Paswoord"), v.password) + QStringLiteral(";Database=") +
           odbcValue(QStringLiteral("Database"), v.catalog) + u';' + extra;
}

QString Connection::connectionString() const {
    return providerString(values_);
}

QString Connection::odbcConnectionString() const {
    // A build that names no driver takes the newest one the workstation has.
    const OdbcDriverKeuze driver = OdbcDriver::VoorSqlServer(driver_);
    return odbcString(driver.naam, values_, driver.extra + QStringLiteral(KORVEX_ODBC_EXTRA));
}

void Connection::open() {
    if (isOpen()) return;
    if (beforeConnect) beforeConnect();
    const QString text = odbcConnectionString();

    SQLHDBC dbc = SQL_NULL_HDBC;
    Diagnostics::check(SQLAllocHandle(SQL_HANDLE_DBC, OdbcEnvironment::handle(), &dbc),
                       SQL_HANDLE_ENV, OdbcEnvironment::handle(),
                       QStringLiteral("Er kon geen verbinding worden aangemaakt"));
    const auto seconds = [](int value) {
        return reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(0, value)));
    };
    SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, seconds(connectionTimeout), 0);
    SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, seconds(connectionTimeout), 0);

    std::u16string wide = text.toStdU16String();
    const SQLRETURN rc =
        SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(wide.data()),
                          SQLSMALLINT(wide.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!Diagnostics::succeeded(rc)) {
        const QString message = Diagnostics::message(
            Diagnostics::read(SQL_HANDLE_DBC, dbc),
            QStringLiteral("Er kon geen verbinding met de SQL server worden gemaakt"));
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        throw KorvexError(message);
    }
    dbc_ = dbc;
    if (afterConnect) afterConnect();
}

void Connection::close() {
    if (!isOpen()) return;
    release();
    if (afterDisconnect) afterDisconnect();
}

void Connection::release() {
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
}

void Connection::forgetIfLost() {
    if (!isOpen()) return;
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (Diagnostics::succeeded(
            SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
        dead == SQL_CD_TRUE)
        release();
}

}  // namespace korvex::db
