#include "database/access/Command.h"

#include "database/access/Connection.h"
#include "database/access/Statement.h"

namespace korvex::db {

void Command::execute() {
    connection_.open();
    try {
        Statement statement(connection_);
        if (!statement.execute(commandText, commandTimeout)) return;
        // Every result must be read: an error of a later statement only shows here.
        while (statement.nextResult()) {
        }
    } catch (...) {
        connection_.forgetIfLost();
        throw;
    }
}

}  // namespace korvex::db
