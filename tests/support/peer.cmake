# The TDS protocol peer fixture and its self-test against the real ODBC driver.
target_sources(korvex_testsupport PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TdsPeer.h
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TdsPeer.cpp)
korvex_add_gtest(korvex_tdspeer_selftest
  SOURCES support/tdspeer_selftest.cpp
  LIBS PkgConfig::ODBC)
