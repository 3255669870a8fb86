# Runs the configure step's key check on -DKEY=...; "accepted" when it passes.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/PublicKey.cmake)
korvex_check_public_key("${KEY}")
message("accepted")
