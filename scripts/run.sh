#!/usr/bin/env bash
# Installs what is missing, builds, starts the local search service and Melorin pointed at it
# (all three search engines).
source "$(dirname "$0")/common.sh"
install_missing_packages
build "$MELORIN_ROOT/build"
bin="$MELORIN_ROOT/build/bin"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -z "${MELORIN_SERVICE:-}" ] && [ -x "$bin/melorin-service" ]; then
  out=$(mktemp)
  # Port 0: the service takes a free port and names it on its first line.
  "$bin/melorin-service" --port "${MELORIN_PORT:-0}" >"$out" &
  service_pid=$!
  trap 'kill $service_pid 2>/dev/null || true; rm -f "$out"' EXIT
  for _ in $(seq 100); do grep -q '^listening on ' "$out" && break; sleep 0.05; done
  address=$(sed -n 's/^listening on //p' "$out" | head -1)
  [ -n "$address" ] || { echo "melorin: the local search service did not start" >&2; exit 1; }
  echo "melorin: local search service on $address"
  export MELORIN_SERVICE="$address"
  # The service imitates the two music catalogues too; unset these to reach the real ones.
  export MELORIN_ARCHIVE_BASE="${MELORIN_ARCHIVE_BASE:-http://$address}"
  export MELORIN_CCMIXTER_BASE="${MELORIN_CCMIXTER_BASE:-http://$address}"
fi
"$bin/melorin" "$@"
