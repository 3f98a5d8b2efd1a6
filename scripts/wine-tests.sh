#!/usr/bin/env bash
# Windows cross-build of the core and its tests (MinGW-w64, `mingw` preset),
# with every test program run under wine. Needs `scripts/setup.sh --ci`.
# The prefix is throwaway and lives in the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset mingw >/dev/null
cmake --build --preset mingw

build=build/mingw
export WINEDEBUG=-all
export WINEPREFIX="$PWD/$build/wineprefix"
unset DISPLAY WAYLAND_DISPLAY # nothing here needs a screen
mkdir -p "$WINEPREFIX"

trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# A persistent server, detached from our streams: wine's service processes
# inherit the streams of whoever starts them, and ctest would wait for ever on
# a pipe they hold. The first program boots the prefix and its services.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd.exe /c exit </dev/null >/dev/null 2>&1

# Wine maps COM1, COM2 ... to the host's /dev/ttyS* (ttyS0 may be the system
# console). The links come back only when the services restart, which the
# persistent server prevents until the end of this script.
rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
if ls "$WINEPREFIX"/dosdevices | grep -qi '^com'; then
  echo "wine-tests: COM port links still present in $WINEPREFIX/dosdevices" >&2
  exit 1
fi

ctest --preset mingw
