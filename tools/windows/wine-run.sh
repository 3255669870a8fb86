#!/usr/bin/env bash
# Runs one Windows test program under Wine with a host launcher beside it
# (tools/host-launcher.py), so the test's fixtures can start the peers,
# openssl and tools/sign-update on this machine. The Windows build uses it as
# CMAKE_CROSSCOMPILING_EMULATOR; its exit status is the program's.
#
#   wine-run.sh [--runtime DIR] program.exe [arguments]
# --runtime: the folder with the DLLs and Qt plugins, for programs elsewhere.
# WINEPREFIX  the prefix to run in (tools/windows/test.sh makes a fresh one)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${1:-}" = --runtime ]; then
  # Wine's drive Z: is the host's root.
  runtime="Z:$(cd "$2" && pwd | tr / '\\')"
  export WINEPATH="$runtime${WINEPATH:+;$WINEPATH}" QT_PLUGIN_PATH="$runtime"
  shift 2
fi
# Wine keeps the host's QT_* variables from Windows programs and hands on
# WINEQT_* under the plain name instead.
while IFS= read -r name; do
  export "WINE$name=${!name}"
done < <(compgen -e | grep '^QT_' || true)
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEDEBUG=${WINEDEBUG:--all}

# The launcher ends when its input closes: when this script ends, even killed.
coproc launcher { exec /usr/bin/python3 "$here/../host-launcher.py" --exit-on-stdin-eof; }
# Bash forgets a coprocess's PID once it has ended.
launcher_pid=$launcher_PID
if ! read -r -t 30 word port token <&"${launcher[0]}" || [ "$word" != PORT ]; then
  echo "wine-run: the host launcher did not start" >&2
  exit 1
fi
export KORVEX_HOST_LAUNCHER="$port $token"
wine "$@"
status=$?
exec {launcher[1]}>&-
wait "$launcher_pid" 2>/dev/null
exit "$status"
