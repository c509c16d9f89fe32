#!/usr/bin/env bash
# The window's idle cost beside the same steps done with bare Qt, in the same run, under a
# private Xvfb display and the local search service:
#   bench/idle-cost.sh [BUILD_DIR]
# Prints, for each, at four moments (after start-up, after a 20-page search, after playing a
# song, after a card preview) the RSS and PSS summed over its whole process tree, the number of
# processes and the CPU ticks that tree used over 10 idle seconds.
set -euo pipefail
build=${1:-$(dirname "$0")/../build}
[ -x "$build/bin/bench_idle" ] || { echo "no $build/bin/bench_idle: build first" >&2; exit 1; }
for d in $(seq 80 99); do [[ -e /tmp/.X11-unix/X$d || -e /tmp/.X$d-lock ]] || { disp=:$d; break; }; done
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
out=$(mktemp)
"$build/bin/melorin-service" --port 0 >"$out" & service=$!
trap 'kill $xvfb $service 2>/dev/null || true; rm -f "$out"' EXIT
export DISPLAY=$disp
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
for _ in $(seq 100); do grep -q '^listening on ' "$out" && break; sleep 0.05; done
host=$(sed -n 's/^listening on //p' "$out" | head -1)
"$build/bin/bench_idle" "$host" 2>/dev/null | grep -v '^$'
"$build/bin/bench_idle" "$host" --reference 2>/dev/null | grep -v '^$'
