#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
source "$(dirname "$0")/common.sh"
install_missing_packages
build "$MELORIN_ROOT/build"
cd "$MELORIN_ROOT/build"
ctest --output-on-failure -j 2 --timeout 600
