#!/usr/bin/env bash
# The Windows pass of the test command: the libraries (cached), the Windows
# build that reaches SQL Server through the host's FreeTDS the way Wine's
# odbc32 hands it on, and every test of it under Wine, in a fresh prefix
# made by this run, without a display: Qt's offscreen platform, and no
# graphics driver for Wine (Debian's Wine 8 has no loadable null driver, so
# the one it is asked for fails to load and none is used).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${KORVEX_WINDOWS_BUILD:-$root/build-wine}"
started=$(date +%s)
say() { echo "[windows-test $(( $(date +%s) - started ))s] $*" >&2; }

KORVEX_WINDOWS_BUILD="$build" "$root/tools/windows/build.sh" -DKORVEX_ODBC_DRIVER=FreeTDS >/dev/null
say "built into $build"

export WINEPREFIX="$build/wine-prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
DISPLAY= wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
# One server for the whole run instead of one per test program; it can
# only be made persistent once the one that set up the prefix has ended.
wineserver -w
wineserver -p || { say "wineserver -p failed"; exit 1; }
trap 'wineserver -k 2>/dev/null || true' EXIT
# Wine's own services start with the first program and inherit its output;
# started here instead, by a shell waiting on input that ends with this run,
# they keep no test's pipe open after the test has ended.
coproc keeper { exec wine cmd >/dev/null 2>&1; }
say "prefix ready"

status=0
# The test programs are listed before their environment applies, so the
# offscreen platform is set for the whole run.
DISPLAY= QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure --no-tests=error \
  -j "${KORVEX_WINDOWS_TEST_JOBS:-2}" "$@" || status=$?
say "tests done (status $status)"
wineserver -k 2>/dev/null || true

# The installer and the self-update road, in a prefix and on a display of
# their own.
"$root/tools/windows/setup-test.sh" || status=$?
say "installer run done (status $status)"
exit "$status"
