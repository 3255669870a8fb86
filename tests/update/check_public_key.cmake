# Runs the configure step's key check on -DKEY=...; "accepted" when it passes.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/PublicKey.cmake)
set(KORVEX_UPDATE_PUBLIC_KEY "${KEY}")
korvex_check_public_key(KORVEX_UPDATE_PUBLIC_KEY)
message("accepted")
