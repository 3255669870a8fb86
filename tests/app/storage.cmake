# Settings storage, configuration files and the ANSI codec they write with.
korvex_add_gtest(korvex_storage_tests
  SOURCES test_instellingenopslag.cpp test_configuratiebestand.cpp ../platform/test_ansicodec.cpp
  LIBS korvex_app)
