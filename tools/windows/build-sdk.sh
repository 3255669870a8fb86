#!/usr/bin/env bash
# Cross-builds, with mingw-w64, every library the Windows build of the program
# and its tests link: zlib, OpenSSL's libcrypto, libcurl (Schannel), pugixml,
# GoogleTest and Qt's qtbase, all from Debian's own sources so the versions
# match the Linux build.
#
#   tools/windows/build-sdk.sh                 build (or reuse) and print the prefix
#   tools/windows/build-sdk.sh --print-prefix  print the prefix it would use
#
# The prefix is keyed by this script, the toolchain file, the compiler and the
# source versions, so a second run with nothing changed takes seconds.
# Runs as root: it installs Debian packages and adds a deb-src entry.
#
# KORVEX_WINDOWS_SDK_CACHE  where the keyed prefixes live (/var/cache/korvex/windows-sdk)
# KORVEX_WINDOWS_SDK_WORK   sources, build trees and logs (/var/tmp/korvex-sdk-work)
# KORVEX_WINDOWS_SDK_REUSE_QT_BUILD=1  keep Qt's build tree from the last run,
#   so a change elsewhere in this script costs minutes instead of most of an hour
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
toolchain=$repo/cmake/mingw-w64-x86_64.cmake
cache_root=${KORVEX_WINDOWS_SDK_CACHE:-/var/cache/korvex/windows-sdk}
work=${KORVEX_WINDOWS_SDK_WORK:-/var/tmp/korvex-sdk-work}
triple=x86_64-w64-mingw32
jobs=${KORVEX_WINDOWS_SDK_JOBS:-$(nproc)}
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake

print_only=0
case "${1:-}" in
  --print-prefix) print_only=1 ;;
  '') ;;
  *) echo "usage: $0 [--print-prefix]" >&2; exit 2 ;;
esac

started=$(date +%s)
say() { echo "[build-sdk $(( $(date +%s) - started ))s] $*" >&2; }
die() { say "error: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || die "run as root (apt-get and the deb-src entry need it)"
export DEBIAN_FRONTEND=noninteractive

packages=(
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  cmake ninja-build make dpkg-dev perl
  # The host half of the Qt cross build: moc, rcc, uic, qtpaths and their CMake files.
  qt6-base-dev qt6-base-dev-tools
)
sources=(qt6-base zlib openssl curl pugixml googletest)

# deb-src twin of the archive this machine already installs from, so
# `apt-get source` fetches exactly the versions the Linux build uses.
src_list=/etc/apt/sources.list.d/korvex-deb-src.sources
setup_apt() {
  local need_update=0 p missing=()
  if [ ! -e "$src_list" ]; then
    local base=/etc/apt/sources.list.d/debian.sources
    [ -r "$base" ] || die "$base not found; cannot derive the deb-src entry"
    awk '
      /^[ \t]*#/ { next }
      /^Types:/  { print "Types: deb-src"; next }
      { print }
    ' "$base" > "$src_list.tmp"
    grep -q '^URIs:' "$src_list.tmp" || die "no URIs in $base"
    mv "$src_list.tmp" "$src_list"
    need_update=1
  fi
  for p in "${sources[@]}"; do
    case "$(apt-cache showsrc --only-source "$p" 2>/dev/null)" in *Version:*) ;; *) need_update=1 ;; esac
  done
  if [ "$need_update" -eq 1 ]; then
    say "apt-get update"
    apt-get -o DPkg::Lock::Timeout=900 update -qq >&2
  fi
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    say "apt-get install ${missing[*]}"
    apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
}

# Fetches the newest version of a source package that the archive will
# actually hand out (an index can list a version its pool no longer serves),
# unpacks it with Debian's patches applied and sets version[] and source_dir[].
# Unpacked trees stay in the work dir, so later runs and --print-prefix are quick.
declare -A version source_dir
fetch_source() {
  local pkg=$1 v dir listing
  listing=$(apt-cache showsrc --only-source "$pkg" | awk '/^Version:/ { print $2 }' | sort -u)
  local sorted=()
  while read -r v; do
    [ -n "$v" ] || continue
    local i=0
    while [ $i -lt ${#sorted[@]} ] && dpkg --compare-versions "${sorted[$i]}" gt "$v"; do i=$((i + 1)); done
    sorted=("${sorted[@]:0:$i}" "$v" "${sorted[@]:$i}")
  done <<<"$listing"
  [ ${#sorted[@]} -gt 0 ] || die "no source package $pkg"
  mkdir -p "$srcdir"
  for v in "${sorted[@]}"; do
    dir=$srcdir/$pkg-${v//:/_}
    if [ ! -e "$dir/.unpacked" ]; then
      rm -rf "$dir" "$srcdir/dl-$pkg"
      mkdir -p "$srcdir/dl-$pkg"
      if ! (cd "$srcdir/dl-$pkg" &&
              apt-get source -qq --download-only -o APT::Sandbox::User=root "$pkg=$v" &&
              dpkg-source -x ./*.dsc "$dir") >>"$logs/$pkg-source.log" 2>&1; then
        say "$pkg $v cannot be fetched, trying an older one (see $logs/$pkg-source.log)"
        rm -rf "$dir"
        continue
      fi
      rm -rf "$srcdir/dl-$pkg" "$srcdir/${pkg}_"*
      touch "$dir/.unpacked"
    fi
    version[$pkg]=$v
    source_dir[$pkg]=$dir
    return 0
  done
  die "no version of $pkg could be fetched; see $logs/$pkg-source.log"
}

setup_apt
logs=$work/logs
srcdir=$work/src
mkdir -p "$logs"
for p in "${sources[@]}"; do fetch_source "$p"; done
case "${version[qt6-base]}" in 6.4.2*) ;; *) die "expected qtbase 6.4.2, archive has ${version[qt6-base]}" ;; esac
case "${version[openssl]}" in 3.0.*) ;; *) die "expected OpenSSL 3.0, archive has ${version[openssl]}" ;; esac
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
case "$host_qt" in 6.4.2*) ;; *) die "host Qt tools are $host_qt, the cross build needs the same 6.4.2" ;; esac

key=$(
  {
    sha256sum "${BASH_SOURCE[0]}" "$toolchain" | cut -d' ' -f1
    $triple-g++-posix -dumpfullversion -dumpmachine
    dpkg-query -W -f='${Package} ${Version}\n' g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev qt6-base-dev-tools
    for p in "${sources[@]}"; do echo "$p ${version[$p]}"; done
  } | sha256sum | cut -c1-16
)
prefix=$cache_root/$key
stamp=$prefix/.complete

if [ "$print_only" -eq 1 ]; then echo "$prefix"; exit 0; fi
if [ -e "$stamp" ]; then
  say "reusing $prefix"
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache_root"
rm -rf "$prefix"
mkdir -p "$prefix"
say "building into $prefix (logs in $logs)"

export CC=$triple-gcc-posix CXX=$triple-g++-posix
cmake_common=(
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  -DKORVEX_WINDOWS_SDK="$prefix"
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DCMAKE_BUILD_TYPE=Release
)

# Runs one step with its output in logs/<name>.log; on failure shows the tail.
step_start=0
step() {
  local name=$1; shift
  local t0; t0=$(date +%s)
  if ! "$@" >>"$logs/$name.log" 2>&1; then
    tail -n 40 "$logs/$name.log" >&2
    die "$name failed after $(( $(date +%s) - t0 ))s; full log: $logs/$name.log"
  fi
}
begin() { step_start=$(date +%s); : >"$logs/$1.log"; say "$1 ${2:-}..."; }
end() { say "$1 done in $(( $(date +%s) - step_start ))s"; }

# ---- Qt configure first: it is the step most likely to fail, and fails fast.
qt_src=${source_dir[qt6-base]}
qt_build=$work/build/qtbase
begin qtbase-configure "${version[qt6-base]}"
if [ "${KORVEX_WINDOWS_SDK_REUSE_QT_BUILD:-0}" != 1 ]; then rm -rf "$qt_build"; fi
mkdir -p "$qt_build"
# Only what the program and its tests use: Core, Gui, Widgets, Network (plain
# sockets; HTTPS goes through libcurl), Test; the windows, offscreen and minimal
# platforms, the jpeg plugin and the windowsvista style.
# Debian's source lacks the non-free wintab and IAccessible2 headers: tablet
# events go, and accessibility uses UI Automation, which needs neither.
# Without OpenGL the 6.4.2 windows plugin only compiles with dynamicgl off;
# direct2d would only double that plugin's build time, and without it Gui
# leaves out the DirectWrite font database that the plugin would still call:
# DirectWrite goes too, the plugin then draws text through GDI.
step qtbase-configure cmake -S "$qt_src" -B "$qt_build" "${cmake_common[@]}" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
  -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DQT_BUILD_MANUAL_TESTS=OFF -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF \
  -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
  -DFEATURE_openssl=OFF -DINPUT_openssl=no \
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dynamicgl=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_glib=OFF -DFEATURE_icu=OFF \
  -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF \
  -DFEATURE_tabletevent=OFF \
  -DFEATURE_gif=OFF -DFEATURE_jpeg=ON -DFEATURE_png=ON \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_style_windowsvista=ON
grep -qE '^FEATURE_style_windowsvista:BOOL=ON' "$qt_build/CMakeCache.txt" ||
  die "Qt would build without the windowsvista style; see $logs/qtbase-configure.log"
end qtbase-configure

# ---- zlib. Debian's tarball drops win32/, so its CMake build it is; that
# renames zconf.h in the tree it builds from, hence a copy. The DLL's
# version resource went with win32/ and is written here instead.
src=${source_dir[zlib]}
begin zlib "${version[zlib]}"
build=$work/build/zlib
rm -rf "$build" "$build-src"; cp -a "$src" "$build-src"
if [ ! -e "$build-src/win32/zlib1.rc" ]; then
  mkdir -p "$build-src/win32"
  cat > "$build-src/win32/zlib1.rc" <<'EOF_RC'
#include <winver.h>
#include "../zlib.h"
1 VERSIONINFO
  FILEVERSION ZLIB_VER_MAJOR,ZLIB_VER_MINOR,ZLIB_VER_REVISION,0
  PRODUCTVERSION ZLIB_VER_MAJOR,ZLIB_VER_MINOR,ZLIB_VER_REVISION,0
  FILETYPE VFT_DLL
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904E4"
    BEGIN
      VALUE "FileDescription", "zlib data compression library\0"
      VALUE "FileVersion", ZLIB_VERSION "\0"
      VALUE "OriginalFilename", "libzlib.dll\0"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x0409, 1252
  END
END
EOF_RC
fi
step zlib cmake -S "$build-src" -B "$build" "${cmake_common[@]}"
step zlib cmake --build "$build" -j"$jobs"
step zlib cmake --install "$build"
end zlib

# ---- OpenSSL: the program needs libcrypto only (digests, Ed25519); libssl
# comes with build_libs for a few extra files. No apps, tests or manuals.
src=${source_dir[openssl]}
begin openssl "${version[openssl]}"
build=$work/build/openssl
rm -rf "$build"; cp -a "$src" "$build"
step openssl sh -c "cd '$build' && CC=gcc-posix CXX=g++-posix perl ./Configure mingw64 \
  --cross-compile-prefix=$triple- --prefix='$prefix' --libdir=lib \
  --openssldir='$prefix/ssl' shared no-tests no-legacy no-engine no-module"
step openssl make -C "$build" -j"$jobs" build_libs
step openssl make -C "$build" install_dev install_runtime_libs
end openssl

# ---- libcurl over Windows' own TLS; HTTP and HTTPS are all the program asks for.
src=${source_dir[curl]}
begin curl "${version[curl]}"
build=$work/build/curl
rm -rf "$build"
step curl cmake -S "$src" -B "$build" "${cmake_common[@]}" \
  -DBUILD_SHARED_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
  -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ENABLE_SSL=ON \
  -DHTTP_ONLY=ON -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
  -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_GSSAPI=OFF \
  -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DUSE_NGHTTP2=OFF -DUSE_NGTCP2=OFF -DUSE_QUICHE=OFF \
  -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_USE_LIBPSL=OFF -DCURL_ZLIB=ON \
  -DZLIB_ROOT="$prefix" -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none
step curl cmake --build "$build" -j"$jobs"
step curl cmake --install "$build"
end curl

# ---- pugixml
src=${source_dir[pugixml]}
begin pugixml "${version[pugixml]}"
build=$work/build/pugixml
rm -rf "$build"
step pugixml cmake -S "$src" -B "$build" "${cmake_common[@]}" \
  -DBUILD_SHARED_LIBS=ON -DPUGIXML_BUILD_TESTS=OFF
step pugixml cmake --build "$build" -j"$jobs"
step pugixml cmake --install "$build"
end pugixml

# ---- GoogleTest with gmock, static: only the test programs link it.
src=${source_dir[googletest]}
begin googletest "${version[googletest]}"
build=$work/build/googletest
rm -rf "$build"
step googletest cmake -S "$src" -B "$build" "${cmake_common[@]}" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
step googletest cmake --build "$build" -j"$jobs"
step googletest cmake --install "$build"
end googletest

# ---- Qt: most of the time goes here.
begin qtbase "${version[qt6-base]}"
step qtbase cmake --build "$qt_build" -j"$jobs"
step qtbase cmake --install "$qt_build"
end qtbase

# ---- The compiler's runtime DLLs, which every program built here loads.
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  path=$($CXX -print-file-name=$dll)
  [ -f "$path" ] || die "$dll not found by $CXX"
  install -m 0644 "$path" "$prefix/bin/$dll"
done

# What the program's build and its Windows runs look for; a glob for names
# that carry a version.
for f in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Network.dll bin/Qt6Test.dll \
         plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
         plugins/platforms/qminimal.dll plugins/imageformats/qjpeg.dll \
         plugins/styles/qwindowsvistastyle.dll \
         'bin/libcrypto-3*.dll' lib/libcrypto.dll.a include/openssl/evp.h \
         bin/libcurl.dll lib/cmake/CURL/CURLConfig.cmake \
         'bin/*zlib*.dll' include/zlib.h \
         'bin/*pugixml*.dll' lib/cmake/pugixml/pugixml-config.cmake \
         lib/libgmock.a lib/cmake/GTest/GTestConfig.cmake \
         lib/cmake/Qt6/Qt6Config.cmake; do
  compgen -G "$prefix/$f" >/dev/null || die "$f missing from $prefix"
done

{
  echo "built $(date -u +%FT%TZ) in $(( $(date +%s) - started ))s"
  for p in "${sources[@]}"; do echo "$p ${version[$p]}"; done
} > "$stamp"

# Earlier keys are dead weight once this one is complete; only names shaped
# like a key go, in case the cache folder is shared.
for old in "$cache_root"/*; do
  name=${old##*/}
  case "$name" in *[!0-9a-f]*) continue ;; esac
  if [ ${#name} -eq 16 ] && [ "$old" != "$prefix" ] && [ -d "$old" ]; then rm -rf "$old"; fi
done

say "done in $(( $(date +%s) - started ))s"
echo "$prefix"
