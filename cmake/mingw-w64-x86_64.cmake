# Cross-compiles for 64-bit Windows with Debian's mingw-w64 compilers.
# The -posix variants are the ones with std::thread, which Qt and GoogleTest need.
#
# The libraries come from tools/windows/build-sdk.sh; pass its prefix with
#   -DKORVEX_WINDOWS_SDK=<prefix>   (or the environment variable of that name).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVEX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVEX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEX_MINGW_TRIPLE}-windres)

if(NOT KORVEX_WINDOWS_SDK AND DEFINED ENV{KORVEX_WINDOWS_SDK})
  set(KORVEX_WINDOWS_SDK "$ENV{KORVEX_WINDOWS_SDK}")
endif()
set(KORVEX_WINDOWS_SDK "${KORVEX_WINDOWS_SDK}" CACHE PATH
    "Prefix with the Windows builds of Qt, libcurl, OpenSSL, zlib, pugixml and GoogleTest")
# try_compile projects read this file again without the cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KORVEX_WINDOWS_SDK)

# The prefix comes first: Debian's own mingw zlib in /usr/x86_64-w64-mingw32
# must not shadow the one built with the rest.
if(KORVEX_WINDOWS_SDK)
  list(APPEND CMAKE_FIND_ROOT_PATH "${KORVEX_WINDOWS_SDK}")
  list(APPEND CMAKE_PREFIX_PATH "${KORVEX_WINDOWS_SDK}")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KORVEX_MINGW_TRIPLE})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
list(REMOVE_DUPLICATES CMAKE_PREFIX_PATH)

# Build tools run here; libraries, headers and packages must be the Windows ones.
# Qt's config files add QT_HOST_PATH themselves when they look for moc, rcc and uic.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
