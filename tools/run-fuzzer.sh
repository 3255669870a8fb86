#!/usr/bin/env bash
# Builds the fuzzers with clang and runs them one after another.
#   tools/run-fuzzer.sh [seconds] [target...]
# seconds: per target (default 600). Targets: verinfo, settings, zkd, ftp,
# manifest (the korvex_<name>_fuzz names work too); all of them when none is given.
# Build folder: $KORVEX_FUZZ_BUILD or /work/build-fuzz. A target keeps
# running after a crash (one job at a time); crash inputs land in
# <build>/fuzz/crashes/<target>/. Keep those of a real fault, minimised, as
# fuzz/regressions/<target>/<name>: later runs start from them too.
# $KORVEX_FUZZ_ARGS adds libFuzzer options.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVEX_FUZZ_BUILD:-/work/build-fuzz}"
seconds=600
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
[[ $# -gt 0 ]] || set -- verinfo settings zkd ftp manifest
targets=()
bouw=()
for naam in "$@"; do
  naam="${naam#korvex_}"
  naam="${naam%_fuzz}"
  case "$naam" in
    verinfo | settings | zkd | ftp | manifest) ;;
    *) echo "unknown fuzz target: $naam (verinfo, settings, zkd, ftp, manifest)" >&2; exit 2 ;;
  esac
  targets+=("$naam")
  bouw+=("korvex_${naam}_fuzz")
  [[ $naam != verinfo ]] || bouw+=(korvex_verinfo_fuzz_seeds)
done

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKORVEX_BUILD_FUZZERS=ON -DKORVEX_BUILD_TESTS=OFF
ninja -C "$build" "${bouw[@]}"

dir="$build/fuzz"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The targets write two or three files per input; in memory where possible,
# and removed at the end since crashed jobs leave theirs behind.
if [[ -d /dev/shm && -w /dev/shm ]]; then
  TMPDIR="$(mktemp -d /dev/shm/korvex-fuzz.XXXXXX)"
else
  TMPDIR="$(mktemp -d "$dir/tmp.XXXXXX")"
fi
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

status=0
for naam in "${targets[@]}"; do
  corpus="$dir/corpus/$naam"
  crashes="$dir/crashes/$naam"
  mkdir -p "$corpus" "$crashes"
  opties=(-timeout=10 -rss_limit_mb=2048)
  case "$naam" in
    verinfo)
      cp -n "$dir"/seeds/*.exe "$dir"/seeds/*.pe32 "$dir"/seeds/*.elf "$dir"/seeds/*.elf32be \
            "$dir"/seeds/*.bin "$corpus/" 2>/dev/null || true
      # Earlier finds stay in the corpus.
      cp -n "$root"/tests/verinfo/fixtures/fuzz-* "$corpus/" 2>/dev/null || true
      opties+=(-max_len=131072) ;;
    settings)
      cp -n "$root"/fuzz/seeds/settings/* "$corpus/"
      opties+=(-max_len=65536 -dict="$root/fuzz/settings.dict") ;;
    zkd)
      cp -n "$root"/fuzz/seeds/zkd/* "$corpus/"
      opties+=(-max_len=16384) ;;
    ftp)
      cp -n "$root"/fuzz/seeds/ftp/* "$corpus/"
      opties+=(-max_len=300000) ;;
    manifest)
      cp -n "$root"/fuzz/seeds/manifest/* "$corpus/"
      opties+=(-max_len=16384) ;;
  esac
  cp -n "$root"/fuzz/regressions/"$naam"/* "$corpus/" 2>/dev/null || true

  voor=$(find "$crashes" -type f | wc -l)
  echo "=== korvex_${naam}_fuzz: ${seconds} s"
  "$dir/korvex_${naam}_fuzz" "$corpus" "${opties[@]}" \
    -max_total_time="$seconds" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 \
    -artifact_prefix="$crashes/" -print_final_stats=1 ${KORVEX_FUZZ_ARGS:-} || status=1
  na=$(find "$crashes" -type f | wc -l)
  if [[ $na -gt $voor ]]; then
    echo "=== korvex_${naam}_fuzz: $((na - voor)) new crash input(s) in $crashes" >&2
    status=1
  fi
done
exit $status
