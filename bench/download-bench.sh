#!/usr/bin/env bash
# The download core (melorin-fetch) beside curl, aria2c and axel, all measured in the same run
# against local servers only (nginx and melorin-service on 127.0.0.1).
# Usage: bench/download-bench.sh [BUILD_DIR] [SECTION...]
# Sections: throttled three big cut cutonce slowtail resume kills outage queue (default: all).
# BEFORE=/path/to/an/older/melorin-fetch adds its figures to the kills, outage and queue sections.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build
if [ $# -gt 0 ] && [ -d "$1" ]; then BUILD=$(cd "$1" && pwd); shift; fi
SECTIONS=${*:-throttled three big cut cutonce slowtail resume kills outage queue}
[ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMELORIN_GUI=OFF >/dev/null
cmake --build "$BUILD" --target melorin-fetch melorin-service melorin-hostile -j2 >/dev/null
FETCH=$BUILD/bin/melorin-fetch
SERVICE=$BUILD/bin/melorin-service
HOSTILE=$BUILD/bin/melorin-hostile
W=$(mktemp -d /tmp/melorin-bench.XXXXXX)
NGINX_PID=
SERVICE_PID=
HOSTILE_PID=
cleanup() {
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null
  [ -n "$SERVICE_PID" ] && kill "$SERVICE_PID" 2>/dev/null
  [ -n "$HOSTILE_PID" ] && kill "$HOSTILE_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$W"
}
trap cleanup EXIT
want() { [[ " $SECTIONS " == *" $1 "* ]]; }

PORT=
for p in $(shuf -i 20000-60000 -n 50); do
  (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null || { PORT=$p; break; }
done
mkdir -p "$W/www/slow" "$W/tmp" "$W/out"
cat > "$W/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $W/nginx.pid; error_log $W/error.log;
events { worker_connections 512; }
http { access_log off; sendfile on;
  client_body_temp_path $W/tmp; proxy_temp_path $W/tmp; fastcgi_temp_path $W/tmp;
  uwsgi_temp_path $W/tmp; scgi_temp_path $W/tmp;
  server { listen 127.0.0.1:$PORT; root $W/www; location /slow/ { limit_rate 2m; } } }
CONF
for f in a b c; do head -c $((20 << 20)) /dev/urandom > "$W/www/slow/$f"; done
head -c $((200 << 20)) /dev/urandom > "$W/www/big"
head -c 1024 /dev/urandom > "$W/www/tiny"
/usr/sbin/nginx -p "$W" -c "$W/nginx.conf" & NGINX_PID=$!
for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/$PORT) 2>/dev/null && break; sleep 0.1; done
URL=http://127.0.0.1:$PORT

# The fault files of the local service, with a request log to count requests.
"$SERVICE" --port 0 --faults --log "$W/service.log" --sent-log "$W/sent.log" > "$W/service.out" & SERVICE_PID=$!
for _ in $(seq 50); do grep -q listening "$W/service.out" 2>/dev/null && break; sleep 0.1; done
SURL=http://$(sed -n 's/^listening on //p' "$W/service.out")

# run LABEL CMD...: prints "LABEL wall cpu peakRSS" (s, CPU-s, KiB)
run() {
  local label=$1; shift
  rm -rf "$W/out"; mkdir -p "$W/out"
  /usr/bin/time -f "%e %U %S %M" -o "$W/time" "$@" >/dev/null 2>"$W/err" || { echo "$label failed:" >&2; head -5 "$W/err" >&2; }
  read -r wall user sys rss < "$W/time"
  echo "$label $wall $(echo "$user + $sys" | bc) $rss"
}
check() { cmp -s "$1" "$2" || echo "MISMATCH $1"; }
mib_s() { echo "scale=2; $1 / $2" | bc; }
# aria2c splits into pieces of at least -k bytes; 4M gives the same five requests per 20 MiB file.
ARIA="aria2c -q -x5 -s5 -k4M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false -d $W/out"
AXEL="axel -q -n 5"
# The fault file's bytes, to compare against.
fault_file() { curl -s -o "$1" "$SURL/fault/ref?size=$2"; }

if want throttled; then
  echo "== one 20 MiB file, 5 connections at 2 MiB/s each (limit 10 MiB/s)"
  set -- $(run melorin "$FETCH" "$URL/slow/a" "$W/out/a" 5); check "$W/out/a" "$W/www/slow/a"
  echo "melorin-fetch: $(mib_s 20 $2) MiB/s (wall $2 s, $(echo "scale=3; 20 / $2 / 10" | bc) of the limit)"
  set -- $(run aria2c $ARIA -o a "$URL/slow/a"); check "$W/out/a" "$W/www/slow/a"
  echo "aria2c:        $(mib_s 20 $2) MiB/s (wall $2 s)"
  set -- $(run axel $AXEL -o "$W/out/a" "$URL/slow/a"); check "$W/out/a" "$W/www/slow/a"
  echo "axel:          $(mib_s 20 $2) MiB/s (wall $2 s)"
fi

if want three; then
  echo "== three 20 MiB files at once, 5 connections each (limit 30 MiB/s)"
  set -- $(run melorin "$FETCH" "$URL/slow/a" "$W/out/a" 5 "$URL/slow/b" "$W/out/b" "$URL/slow/c" "$W/out/c")
  for f in a b c; do check "$W/out/$f" "$W/www/slow/$f"; done
  echo "melorin-fetch: $(mib_s 60 $2) MiB/s (wall $2 s, $(echo "scale=3; 60 / $2 / 30" | bc) of the limit)"
  printf '%s\n' "$URL/slow/a" "$URL/slow/b" "$URL/slow/c" > "$W/list"
  set -- $(run aria2c $ARIA -j3 -i "$W/list")
  for f in a b c; do check "$W/out/$f" "$W/www/slow/$f"; done
  echo "aria2c:        $(mib_s 60 $2) MiB/s (wall $2 s)"
  set -- $(run axel bash -c "$AXEL -o $W/out/a $URL/slow/a & $AXEL -o $W/out/b $URL/slow/b & $AXEL -o $W/out/c $URL/slow/c & wait")
  for f in a b c; do check "$W/out/$f" "$W/www/slow/$f"; done
  echo "axel:          $(mib_s 60 $2) MiB/s (wall $2 s)"
fi

if want big; then
  echo "== 200 MiB unthrottled (CPU = user + system time of the process)"
  set -- $(run idle "$FETCH" "$URL/tiny" "$W/out/tiny" 5); IDLE=$4
  cpu_gib() { echo "scale=2; $1 * 1024 / 200" | bc; }
  for i in 1 2; do
    set -- $(run melorin "$FETCH" "$URL/big" "$W/out/big" 5); check "$W/out/big" "$W/www/big"
    echo "melorin-fetch: wall $2 s, CPU $(cpu_gib $3) s/GiB, peak RSS $4 KiB ($(( $4 - IDLE )) KiB above idle $IDLE KiB)"
    set -- $(run curl curl -s -o "$W/out/big" "$URL/big"); check "$W/out/big" "$W/www/big"
    echo "curl:          wall $2 s, CPU $(cpu_gib $3) s/GiB, peak RSS $4 KiB"
    set -- $(run aria2c $ARIA -o big "$URL/big"); check "$W/out/big" "$W/www/big"
    echo "aria2c:        wall $2 s, CPU $(cpu_gib $3) s/GiB, peak RSS $4 KiB"
    set -- $(run axel $AXEL -o "$W/out/big" "$URL/big"); check "$W/out/big" "$W/www/big"
    echo "axel:          wall $2 s, CPU $(cpu_gib $3) s/GiB, peak RSS $4 KiB"
  done
fi

# cut_case TITLE QUERY SIZE: every tool fetches /fault/<tool>?QUERY; wall time and requests.
cut_case() {
  local title=$1 query=$2 size=$3 n=$RANDOM
  echo "== $title"
  fault_file "$W/ref" "$size"
  requests() { grep -c "GET /fault/$1" "$W/service.log" || true; }
  set -- $(run melorin "$FETCH" "$SURL/fault/m$n?$query&id=m$n" "$W/out/f" 5); check "$W/out/f" "$W/ref"
  echo "melorin-fetch: wall $2 s, $(requests m$n) requests (probe included)"
  set -- $(run aria2c $ARIA --retry-wait=0 --max-tries=0 -o f "$SURL/fault/a$n?$query&id=a$n"); check "$W/out/f" "$W/ref"
  echo "aria2c:        wall $2 s, $(requests a$n) requests"
  set -- $(run axel $AXEL -o "$W/out/f" "$SURL/fault/x$n?$query&id=x$n"); check "$W/out/f" "$W/ref"
  echo "axel:          wall $2 s, $(requests x$n) requests"
}
want cut && cut_case "every answer cut after 1 MiB, 20 MiB file" "size=20971520&cut=1048576" 20971520
want cutonce && cut_case "one answer cut after 1 MiB (the first ranged one), 20 MiB file" \
  "size=20971520&cut=1048576&once=1" 20971520

if want slowtail; then
  echo "== one connection of five at 0.2 MiB/s, the others at 2 MiB/s, 20 MiB file (local service)"
  fault_file "$W/ref" 20971520
  SLOW="size=20971520&rate=2097152&slowrate=209715&slowconn=2"
  n=$RANDOM
  set -- $(run melorin "$FETCH" "$SURL/fault/t?$SLOW&id=m$n" "$W/out/f" 5); check "$W/out/f" "$W/ref"
  echo "melorin-fetch, slowest range split: wall $2 s"
  set -- $(run melorin "$FETCH" --no-split "$SURL/fault/t?$SLOW&id=n$n" "$W/out/f" 5); check "$W/out/f" "$W/ref"
  echo "melorin-fetch, no split (before): wall $2 s"
  set -- $(run aria2c $ARIA -o f "$SURL/fault/t?$SLOW&id=a$n"); check "$W/out/f" "$W/ref"
  echo "aria2c -x5 -s5 -k4M:  wall $2 s"
  set -- $(run aria2c ${ARIA/-k4M/-k1M} -o f "$SURL/fault/t?$SLOW&id=b$n"); check "$W/out/f" "$W/ref"
  echo "aria2c -x5 -s5 -k1M:  wall $2 s"
  set -- $(run aria2c ${ARIA/-k4M/} -o f "$SURL/fault/t?$SLOW&id=c$n"); check "$W/out/f" "$W/ref"
  echo "aria2c -x5 -s5:       wall $2 s"
fi

# killed LABEL NAME CMD...: runs CMD, SIGKILL after 1 s (about half of a 20 MiB file at 10 MiB/s),
# runs it again to the end; prints the body bytes the service sent for NAME over the file size.
killed() {
  local label=$1 name=$2; shift 2
  "$@" >/dev/null 2>&1 & local pid=$!
  sleep 1
  kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  "$@" >/dev/null 2>"$W/err" || { echo "$label failed:" >&2; head -5 "$W/err" >&2; }
  check "$W/out/f" "$W/ref"
  sleep 0.3  # the service logs an answer when its connection is gone
  local sent; sent=$(awk -v n="/fault/$name?" 'index($2, n) == 1 {s += $1} END {print s + 0}' "$W/sent.log")
  echo "$label: $(echo "scale=3; $sent / 20971520" | bc) of the file sent in all ($sent bytes)"
}

if want resume; then
  echo "== killed (SIGKILL) at about 50 %, started again: 20 MiB, 5 connections at 2 MiB/s (local service)"
  fault_file "$W/ref" 20971520
  rm -rf "$W/out"; mkdir -p "$W/out"
  n=$RANDOM
  PACED="size=20971520&rate=2097152"
  killed melorin-fetch "rm$n" "$FETCH" --queue "$W/queue" "$SURL/fault/rm$n?$PACED&id=rm$n" "$W/out/f" 5
  rm -f "$W/out/f"*
  killed "aria2c -x5 -s5 -c" "ra$n" $ARIA -c -o f "$SURL/fault/ra$n?$PACED&id=ra$n"
  rm -f "$W/out/f"*
  killed "aria2c -x5 -s5 -c --auto-save-interval=1" "rb$n" $ARIA -c --auto-save-interval=1 -o f \
    "$SURL/fault/rb$n?$PACED&id=rb$n"
fi
# sent_ratio LOG SIZE NAME...: body bytes LOG names for the targets /fault/NAME? or /NAME?, over SIZE.
sent_ratio() {
  local log=$1 size=$2; shift 2
  local sent=0 name
  for name in "$@"; do
    sent=$((sent + $(awk -v a="/fault/$name?" -v b="/$name?" 'index($2, a) == 1 || index($2, b) == 1 {s += $1} END {print s + 0}' "$log")))
  done
  echo "$(echo "scale=3; $sent / $size" | bc) of the files sent in all ($sent bytes)"
}

if want kills; then
  echo "== twelve kills (SIGKILL) at random moments (0.1-0.3 s apart) during three 20 MiB files, then a run to the end (local service, 5 connections at 1 MiB/s each)"
  fault_file "$W/ref" 20971520
  # kill_loop LABEL PREFIX CMD-BUILDER: the same twelve moments for every tool (seeded).
  kill_loop() {
    local label=$1 prefix=$2; shift 2
    rm -rf "$W/out" "$W/queue"; mkdir -p "$W/out"
    RANDOM=15
    local i
    for i in $(seq 12); do
      "$@" >/dev/null 2>&1 & local pid=$!
      sleep "0.$((RANDOM % 3 + 1))"
      kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
    done
    "$@" >/dev/null 2>"$W/err" || { echo "$label failed:" >&2; head -5 "$W/err" >&2; }
    for f in a b c; do check "$W/out/$f" "$W/ref"; done
    sleep 0.3
    echo "$label: $(sent_ratio "$W/sent.log" $((3 * 20971520)) "${prefix}a" "${prefix}b" "${prefix}c")"
  }
  n=$RANDOM
  # Slow enough that no file is complete before the last kill: a finished file is not in the
  # driver's queue, and the next run would fetch it anew.
  PACED="size=20971520&rate=1048576"
  three() {  # the driver's arguments for the three files, names prefixed with $1
    echo "--queue $W/queue $SURL/fault/${1}a?$PACED&id=${1}a $W/out/a 5 $SURL/fault/${1}b?$PACED&id=${1}b $W/out/b $SURL/fault/${1}c?$PACED&id=${1}c $W/out/c"
  }
  # shellcheck disable=SC2046
  kill_loop melorin-fetch "km$n" "$FETCH" $(three "km$n")
  # shellcheck disable=SC2046
  [ -n "${BEFORE:-}" ] && kill_loop "melorin-fetch before" "kb$n" "$BEFORE" $(three "kb$n")
  printf '%s\n' "$SURL/fault/ka${n}a?$PACED&id=ka${n}a" "  out=a" "$SURL/fault/ka${n}b?$PACED&id=ka${n}b" "  out=b" \
    "$SURL/fault/ka${n}c?$PACED&id=ka${n}c" "  out=c" > "$W/list"
  kill_loop "aria2c -x5 -s5 -c -j3" "ka$n" $ARIA -c -j3 -i "$W/list"
fi

if want outage; then
  echo "== server gone at 50 % for 10 s, then back: 20 MiB, 5 connections at 2 MiB/s (melorin-hostile)"
  "$HOSTILE" --port 0 --sent-log "$W/hostile.log" > "$W/hostile.out" & HOSTILE_PID=$!
  for _ in $(seq 50); do grep -q listening "$W/hostile.out" 2>/dev/null && break; sleep 0.1; done
  HURL=http://$(sed -n 's/^listening on //p' "$W/hostile.out")
  curl -s -o "$W/ref" "$HURL/reference?size=20971520"
  GONE="size=20971520&rate=2097152&goneat=10485760&gonefor=10000&goneof=all"
  outage() {
    local label=$1 name=$2; shift 2
    rm -rf "$W/out"; mkdir -p "$W/out"
    local start; start=$(date +%s.%N)
    "$@" >/dev/null 2>"$W/err" || { echo "$label failed:" >&2; head -3 "$W/err" >&2; }
    local wall; wall=$(echo "$(date +%s.%N) - $start" | bc)
    check "$W/out/f" "$W/ref"
    sleep 0.3
    echo "$label: $(sent_ratio "$W/hostile.log" 20971520 "$name"), wall $(printf %.1f "$wall") s"
  }
  n=$RANDOM
  outage melorin-fetch "om$n" "$FETCH" "$HURL/om$n?$GONE" "$W/out/f" 5
  [ -n "${BEFORE:-}" ] && outage "melorin-fetch before" "ob$n" "$BEFORE" "$HURL/ob$n?$GONE" "$W/out/f" 5
  outage "aria2c -x5 -s5 --max-tries=0 --retry-wait=1" "oa$n" timeout 120 $ARIA --max-tries=0 --retry-wait=1 -o f "$HURL/oa$n?$GONE"
  outage "axel -n 5" "ox$n" timeout 120 $AXEL -o "$W/out/f" "$HURL/ox$n?$GONE"
fi
if want queue; then
  echo "== a queue file of 20000 rows brought back at start (20 rows per title): time to the driver's line saying so"
  awk -v d="$W/out" 'BEGIN { print "melorin-queue 1"
    for (i = 0; i < 20000; i++) printf "%d\t0\tsong%d\thttp://127.0.0.1:9/f%d\t1K\tmp3\t%s/song%d.mp3\n", i, i % 1000, i, d, i % 1000 }' > "$W/q20k.src"
  queue_load() {
    local label=$1 fetch=$2
    cp "$W/q20k.src" "$W/q20k"; rm -rf "$W/out"; mkdir -p "$W/out"
    local start; start=$(date +%s%N)
    "$fetch" --queue "$W/q20k" "http://127.0.0.1:9/none" "$W/out/none" 5 2>"$W/qerr" & local pid=$!
    while ! grep -q "back in the queue" "$W/qerr" 2>/dev/null && kill -0 "$pid" 2>/dev/null &&
          [ $(( ($(date +%s%N) - start) / 1000000 )) -lt 120000 ]; do sleep 0.01; done
    local ms=$(( ($(date +%s%N) - start) / 1000000 ))
    kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
    echo "$label: $(grep -o '^[0-9]* unfinished downloads back' "$W/qerr" || echo 'no rows') after $ms ms"
  }
  queue_load melorin-fetch "$FETCH"
  [ -n "${BEFORE:-}" ] && queue_load "melorin-fetch before" "$BEFORE"
fi
exit 0
