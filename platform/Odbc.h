#pragma once

// The ODBC API. Windows' ODBC headers use the system's types without
// including them.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
