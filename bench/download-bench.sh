#!/usr/bin/env bash
# Download throughput, CPU and memory of melorin-fetch beside aria2c, against a
# local nginx (127.0.0.1 only). Usage: bench/download-bench.sh [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
[ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMELORIN_GUI=OFF >/dev/null
cmake --build "$BUILD" --target melorin-fetch -j2 >/dev/null
FETCH=$BUILD/bin/melorin-fetch
W=$(mktemp -d /tmp/melorin-bench.XXXXXX)
NGINX_PID=
cleanup() { [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null; wait 2>/dev/null; rm -rf "$W"; }
trap cleanup EXIT

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

# run LABEL CMD...: prints wall s, cpu s, peak RSS KiB
run() {
  local label=$1; shift
  rm -rf "$W/out"; mkdir -p "$W/out"
  /usr/bin/time -f "%e %U %S %M" -o "$W/time" "$@" >/dev/null 2>"$W/err" || { echo "$label failed:"; cat "$W/err"; }
  read -r wall user sys rss < "$W/time"
  echo "$label $wall $(echo "$user + $sys" | bc) $rss"
}
check() { cmp -s "$1" "$2" || echo "MISMATCH $1"; }
mib_s() { echo "scale=2; $1 / $2" | bc; }
# aria2c splits into pieces of at least -k bytes; 4M gives the same five requests per 20 MiB file.
ARIA="aria2c -q -x5 -s5 -k4M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false -d $W/out"

echo "== one 20 MiB file, 5 connections at 2 MiB/s each (limit 10 MiB/s)"
set -- $(run melorin "$FETCH" "$URL/slow/a" "$W/out/a" 5); check "$W/out/a" "$W/www/slow/a"
echo "melorin-fetch: $(mib_s 20 $2) MiB/s (wall $2 s)"
set -- $(run aria2c $ARIA -o a "$URL/slow/a"); check "$W/out/a" "$W/www/slow/a"
echo "aria2c:        $(mib_s 20 $2) MiB/s (wall $2 s)"

echo "== three 20 MiB files at once (limit 30 MiB/s)"
set -- $(run melorin "$FETCH" "$URL/slow/a" "$W/out/a" 5 "$URL/slow/b" "$W/out/b" "$URL/slow/c" "$W/out/c")
for f in a b c; do check "$W/out/$f" "$W/www/slow/$f"; done
echo "melorin-fetch: $(mib_s 60 $2) MiB/s (wall $2 s)"
printf '%s\n' "$URL/slow/a" "$URL/slow/b" "$URL/slow/c" > "$W/list"
set -- $(run aria2c $ARIA -j3 -i "$W/list")
for f in a b c; do check "$W/out/$f" "$W/www/slow/$f"; done
echo "aria2c:        $(mib_s 60 $2) MiB/s (wall $2 s)"

echo "== 200 MiB unthrottled"
set -- $(run idle "$FETCH" "$URL/tiny" "$W/out/tiny" 5); IDLE=$4
for i in 1 2; do
  set -- $(run melorin "$FETCH" "$URL/big" "$W/out/big" 5); check "$W/out/big" "$W/www/big"
  echo "melorin-fetch: wall $2 s, CPU $(echo "scale=2; $3 * 1024 / 200" | bc) s/GiB, peak RSS $4 KiB ($(( $4 - IDLE )) KiB above idle $IDLE KiB)"
  set -- $(run aria2c $ARIA -o big "$URL/big"); check "$W/out/big" "$W/www/big"
  echo "aria2c:        wall $2 s, CPU $(echo "scale=2; $3 * 1024 / 200" | bc) s/GiB, peak RSS $4 KiB"
done
