# Runs the configure step's key check on -DKEY=...; "accepted" when it passes.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/PublicKey.cmake)
# -DNAME=... names the cache value; the update key by default.
if(NOT NAME)
  set(NAME KORVEX_UPDATE_PUBLIC_KEY)
endif()
set(${NAME} "${KEY}")
korvex_check_public_key(${NAME})
message("accepted")
