#pragma once

#include "platform/Odbc.h"

namespace korvex::db {

// The process-wide ODBC environment, made on first use.
class OdbcEnvironment {
  public:
    static SQLHENV handle();
};

}  // namespace korvex::db
