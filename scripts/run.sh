#!/usr/bin/env bash
# Installs what is missing, builds, starts the local search service and Melorin pointed at it.
source "$(dirname "$0")/common.sh"
install_missing_packages
build "$MELORIN_ROOT/build"
bin="$MELORIN_ROOT/build/bin"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -x "$bin/melorin-service" ]; then
  port=${MELORIN_PORT:-8360}
  "$bin/melorin-service" --port "$port" &
  service_pid=$!
  trap 'kill $service_pid 2>/dev/null || true' EXIT
  export MELORIN_SERVICE="127.0.0.1:$port"
fi
"$bin/melorin" "$@"
