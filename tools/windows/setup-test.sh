#!/usr/bin/env bash
# The installer's run under Wine, the last part of the Windows pass: two
# versions of the program built with a test key and their update manifest on
# a fixed loopback port, the older one's KorvexSetup.exe and the newer one
# released (signed, in its manifest) by the release target, then
# tests/setup/installatietest.py: install, upgrade, uninstall and the
# self-update from the older version to the newer one, in a fresh prefix on
# an Xvfb of its own. Screenshots and logs land in <build>/installatietest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${KORVEX_SETUP_BUILD:-$root/build-wine-setup}"
port="${KORVEX_SETUP_HTTP_PORT:-47280}"
oud=1.0.0.0
nieuw=1.0.0.1
manifest=/fernaxo/KorvexSQL/Updates.txt
work="$build/installatietest"
server="$build/server"
started=$(date +%s)
say() { echo "[setup-test $(( $(date +%s) - started ))s] $*" >&2; }
# The builds' output goes to a log, shown when a step fails.
log="$build/setup-test.log"
stil() { "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; say "failed: $*"; exit 1; }; }

sdk="$("$root/tools/windows/build-sdk.sh" | tail -n 1)"
mkdir -p "$build"
: >"$log"
sleutel="$build/testsleutel.pem"
[ -f "$sleutel" ] || "$root/tools/sign-update" keygen "$sleutel" >/dev/null
publiek="$("$root/tools/sign-update" public "$sleutel")"
rm -rf "$server" && mkdir -p "$server"

versie() {
  stil cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DKORVEX_WINDOWS_SDK="$sdk" -DQT_HOST_PATH=/usr \
    -DKORVEX_BUILD_TESTS=OFF -DKORVEX_BUILD_BENCH=OFF -DKORVEX_ODBC_DRIVER=FreeTDS \
    -DKORVEX_UPDATE_FILE_URL="http://127.0.0.1:$port$manifest" \
    -DKORVEX_UPDATE_PUBLIC_KEY="$publiek" -DKORVEX_VERSION="$1" \
    -DKORVEX_RELEASE_KEY="$sleutel" -DKORVEX_RELEASE_URL="http://127.0.0.1:$port${manifest%/*}" \
    -DKORVEX_RELEASE_MANIFEST="$server/Updates.txt"
}

versie "$oud"
stil cmake --build "$build" --target setup
cp "$build/KorvexSetup.exe" "$build/KorvexSetup-$oud.exe"
say "KorvexSetup.exe $oud built"
# The manifest the release replaces names the installed version.
printf '[KorvexSQL]\r\nVersion=%s\r\n' "$oud" >"$server/Updates.txt"
versie "$nieuw"
stil cmake --build "$build" --target release
say "release $nieuw signed into $server"
# A second release of the same version would never be offered: refused.
if /usr/bin/python3 "$root/tools/release.py" --setup "$build/KorvexSetup.exe" --version "$nieuw" \
    --key "$sleutel" --url "http://127.0.0.1:$port" --manifest "$server/Updates.txt" 2>/dev/null; then
  say "the release target accepted version $nieuw twice"
  exit 1
fi

/usr/bin/python3 "$root/tests/setup/installatietest.py" \
  --old "$build/KorvexSetup-$oud.exe" --old-version "$oud" \
  --new "$server/KorvexSetup-$nieuw.exe" --new-version "$nieuw" \
  --new-exe "$build/bin/KorvexSQL.exe" --server "$server" --peers "$root/tests/peers" \
  --http-port "$port" --manifest-path "$manifest" --work "$work"
say "done"
