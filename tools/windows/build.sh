#!/usr/bin/env bash
# Builds the Windows program and its tests on this machine with mingw-w64:
# the libraries first (cached, see build-sdk.sh), then the project into
# build-windows/, then the folder to copy to a workstation into
# build-windows/KorvexSQL/. Extra arguments go to the configure step, for
# example -DKORVEX_ODBC_DRIVER=FreeTDS for the build that runs under Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${KORVEX_WINDOWS_BUILD:-$root/build-windows}"
sdk="$("$root/tools/windows/build-sdk.sh" | tail -n 1)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DKORVEX_WINDOWS_SDK="$sdk" -DQT_HOST_PATH=/usr "$@"
cmake --build "$build"
rm -rf "$build/KorvexSQL"
cmake --install "$build" --prefix "$build/KorvexSQL"
echo "$build/KorvexSQL/KorvexSQL.exe"
