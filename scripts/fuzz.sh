#!/usr/bin/env bash
# Fuzzes the result page parser for SECONDS (default 60) with clang's libFuzzer, seeded from
# the parser's test fixtures, then the music catalogues' answer readers and the page reader
# without an engine (HTML to text and links) for a quarter of that each.
# Exits non-zero when the fuzzer finds a crash.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMELORIN_FUZZ=ON -DMELORIN_GUI=OFF -DMELORIN_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_pageparser fuzz_catalogues fuzz_htmlpage -j 2

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
# fuzz NAME SECONDS CORPUS; -rss_limit_mb and -timeout turn hangs and blow-ups into failures too.
fuzz() {
  "$build/bin/$1" -max_total_time="$2" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 "$3"
}
fuzz fuzz_pageparser "$seconds" "$corpus"

# The catalogue readers, seeded with answers of each shape (the first byte picks the reader).
corpus="$build/fuzz-corpus-catalogues"
mkdir -p "$corpus"
printf '\x00{"n":007,"d":"a\nb"}' >"$corpus/mend"
printf '\x01{"response":{"numFound":3,"start":0,"docs":[{"identifier":"a","title":["t"],"creator":"c"}]}}' \
  >"$corpus/archive-page"
printf '\x02{"files":[{"name":"a b.flac","source":"original","format":"Flac","title":"T"},{"name":"a b.mp3","source":"derivative","original":"a b.flac","format":"VBR MP3","size":"123"}],"metadata":{"creator":["x","y"]}}' \
  >"$corpus/archive-item"
printf '\x03[{"upload_name":"u","user_name":"n","files":[{"download_url":"http://h/a b.mp3","file_rawsize":12,"file_format_info":{"default-ext":"mp3"}}]}]' \
  >"$corpus/ccmixter-page"
fuzz fuzz_catalogues "$(( (seconds + 3) / 4 ))" "$corpus"

# The page reader, seeded with untidy markup (the first byte picks the Content-Type).
corpus="$build/fuzz-corpus-htmlpage"
mkdir -p "$corpus"
printf '\x00<table><tr><td>a<td><table><tr><td>b</table>c</table><p>d<br>e<a href="../x?y=z#w">f</a>' \
  >"$corpus/tables"
printf '\x00<meta charset=gbk><pre>\t a </pre><select><option>o</select><form>t</form><base href=//h/>' \
  >"$corpus/charset"
printf '\x02<div style="display:none"><a href=" \\\\h\\p">x</a></div><details>s</details>&copy &#x80;' \
  >"$corpus/hidden"
fuzz fuzz_htmlpage "$(( (seconds + 3) / 4 ))" "$corpus"
