#!/usr/bin/env bash
# Builds the version-resource fuzzer with clang and runs it.
#   tools/run-fuzzer.sh [seconds]      (default 600)
# Build folder: $KORVEX_FUZZ_BUILD or /work/build-fuzz. Crash inputs land in
# <build>/fuzz/crashes/; keep them as tests/verinfo/fixtures/fuzz-* files.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KORVEX_FUZZ_BUILD:-/work/build-fuzz}"
seconds="${1:-600}"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKORVEX_BUILD_FUZZERS=ON -DKORVEX_BUILD_TESTS=OFF
ninja -C "$build" korvex_verinfo_fuzz korvex_verinfo_fuzz_seeds

dir="$build/fuzz"
mkdir -p "$dir/corpus" "$dir/crashes"
cp -n "$dir"/seeds/*.exe "$dir"/seeds/*.pe32 "$dir"/seeds/*.elf "$dir"/seeds/*.elf32be \
      "$dir"/seeds/*.bin "$dir/corpus/" 2>/dev/null || true
# Earlier finds stay in the corpus.
cp -n "$root"/tests/verinfo/fixtures/fuzz-* "$dir/corpus/" 2>/dev/null || true

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$dir/korvex_verinfo_fuzz" "$dir/corpus" \
  -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$dir/crashes/" -print_final_stats=1
