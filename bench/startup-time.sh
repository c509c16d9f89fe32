#!/usr/bin/env bash
# Time from process start to the main window being shown, warm, over N runs (default 10),
# under a private Xvfb display. Prints every run and the median in milliseconds.
#   bench/startup-time.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-$(dirname "$0")/../build}
runs=${2:-10}
exe="$build/bin/melorin"
[ -x "$exe" ] || { echo "no $exe: build first" >&2; exit 1; }
for d in $(seq 80 99); do [[ -e /tmp/.X11-unix/X$d || -e /tmp/.X$d-lock ]] || { disp=:$d; break; }; done
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$disp MELORIN_REPORT_STARTUP=1
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
python3 - "$exe" "$runs" <<'PY'
import subprocess, sys, time, signal, statistics
exe, runs = sys.argv[1], int(sys.argv[2])
times = []
for i in range(runs + 1):  # the first run only warms the caches
    t0 = time.monotonic()
    p = subprocess.Popen([exe], stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
    for line in p.stderr:
        if "window shown" in line:
            break
    ms = (time.monotonic() - t0) * 1000
    p.send_signal(signal.SIGTERM)
    p.wait(timeout=30)
    if i > 0:
        times.append(ms)
        print(f"run {i}: {ms:.0f} ms (exit {p.returncode})")
print(f"median start-up to window shown: {statistics.median(times):.0f} ms over {runs} runs")
PY
