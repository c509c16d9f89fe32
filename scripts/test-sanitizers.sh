#!/usr/bin/env bash
# The GUI-free libraries and their tests under ASan+UBSan, and the download core under TSan.
source "$(dirname "$0")/common.sh"
install_missing_packages
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build "$MELORIN_ROOT/build-asan" -DMELORIN_GUI=OFF -DMELORIN_BENCH=OFF -DMELORIN_SANITIZE=address,undefined
(cd "$MELORIN_ROOT/build-asan" && ctest --output-on-failure -j 2 -LE nosan)
if grep -q 'LABELS.*tsan' -r "$MELORIN_ROOT/tests" 2>/dev/null; then
  # QtTest's watchdog thread lives in Qt, which is not built with TSan; tests start servers
  # (fork + exec) after threads exist, which TSan allows only when told.
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$MELORIN_ROOT/tests/tsan.supp"
  build "$MELORIN_ROOT/build-tsan" -DMELORIN_GUI=OFF -DMELORIN_BENCH=OFF -DMELORIN_SANITIZE=thread
  (cd "$MELORIN_ROOT/build-tsan" && ctest --output-on-failure -j 2 -L tsan)
fi
