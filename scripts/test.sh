#!/usr/bin/env bash
# Sets up the machine, builds the debug preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh "$@"
cmake --preset dev >/dev/null
cmake --build --preset dev
# The window tests run without a display.
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} ctest --preset dev
