#!/usr/bin/env bash
# Fuzzes the result page parser for SECONDS (default 60) with clang's libFuzzer, seeded from
# the parser's test fixtures. Exits non-zero when the fuzzer finds a crash.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMELORIN_FUZZ=ON -DMELORIN_GUI=OFF -DMELORIN_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_pageparser -j 2

corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
# Seeds: every fixture page under each type box index, with varied flags.
for f in "$root"/tests/search/fixtures/*.txt; do
  for kind in 1 6; do
    for flags in 0 9; do
      { printf "\\x$(printf %02x "$kind")\\x$(printf %02x "$flags")"; cat "$f"; } \
        >"$corpus/$(basename "$f" .txt)-$kind-$flags"
    done
  done
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
# -rss_limit_mb and -timeout turn hangs and blow-ups into failures too.
"$build/bin/fuzz_pageparser" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 "$corpus"
