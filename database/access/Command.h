#pragma once

#include <QString>

namespace korvex::db {

class Connection;

// A text command without parameters on one connection.
class Command {
  public:
    explicit Command(Connection& connection) : connection_(connection) {}

    QString commandText;
    int commandTimeout = 30;  // seconds

    // Opens the connection when closed, sends the whole text as one batch,
    // discards every result and returns when the server has finished.
    void execute();
    // The rows the last statement of the last execute() changed that the
    // server counted; -1 when none gave a count.
    qint64 rowsAffected = -1;
    // Executes and returns the first column of the first row of the first
    // result set as a whole number; throws when there is no such value.
    qint64 executeInteger();
    Connection& connection() const { return connection_; }

  private:
    Connection& connection_;
};

}  // namespace korvex::db
