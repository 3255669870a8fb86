# Settings storage and connection configuration files.
find_package(pugixml REQUIRED GLOBAL)
target_sources(korvex_app PRIVATE
  InstellingenOpslag.h InstellingenOpslag.cpp
  ConfiguratieBestand.h ConfiguratieBestand.cpp)
target_link_libraries(korvex_app PUBLIC pugixml::pugixml)
