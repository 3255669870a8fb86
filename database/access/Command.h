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
    Connection& connection() const { return connection_; }

  private:
    Connection& connection_;
};

}  // namespace korvex::db
