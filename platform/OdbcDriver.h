#pragma once

#include <QString>
#include <QStringList>

namespace korvex {

// The ODBC driver a connection to SQL Server goes through, with the
// connection attributes it needs to reach a default SQL Server Express.
struct OdbcDriverKeuze {
    QString naam;
    QString extra;  // key=value; pairs for the connection string
    bool operator==(const OdbcDriverKeuze&) const = default;
};

class OdbcDriver {
  public:
    // The newest SQL Server driver among the installed ones: the highest
    // "ODBC Driver N for SQL Server", else the "SQL Server" driver that
    // every Windows has (also when the list is empty, so that the driver
    // manager's own message tells the operator what is missing).
    static OdbcDriverKeuze KiesVoorSqlServer(const QStringList& geinstalleerd);

    // The names of the drivers the driver manager knows.
    static QStringList Geinstalleerd();

    // The driver the build names, or, when it names none, the choice among
    // the installed ones, made once per run.
    static OdbcDriverKeuze VoorSqlServer(const QString& gebouwd);
};

}  // namespace korvex
