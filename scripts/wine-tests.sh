#!/usr/bin/env bash
# The Windows build under wine. Needs `scripts/setup.sh --ci`.
#  1. The whole MinGW-w64 cross-build (`mingw` preset): the programs, the test
#     programs, the installer and the zip.
#  2. Every test program under wine.
#  3. The window as a user drives it (when the Win32 face is built).
#  4. The installer: /S installs, the installed vandrel1-cli.exe programs the
#     simulated chip, Ctrl-C ends a run with 130, /S on the uninstaller takes
#     every file away and leaves the user's settings.
# The wine prefix is throwaway and lives in the build directory; wine's links
# from COM1.. to the host's serial devices are removed first.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset mingw >/dev/null
cmake --build --preset mingw
cmake --build --preset mingw --target installer zip

build=build/mingw
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
export WINEDEBUG=-all
export WINEPREFIX="$PWD/$build/wineprefix"
unset DISPLAY WAYLAND_DISPLAY # nothing here needs a screen but the window run
# The programs' own places, not the ones of whoever runs this.
unset XDG_STATE_HOME VANDREL1_DEVICE VANDREL1_PORT VANDREL1_SIMULATOR
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

fail() { echo "wine-tests: $*" >&2; exit 1; }

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1; shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}

# ---------------------------------------------------------------------------
# HOOK: the window run. vandrel1.exe (the Win32 face) under xvfb-run with the
# simulated PIC16F628A and its settings put in wine's registry first, driven
# by its access keys with xdotool, its log read back through the clipboard and
# compared with the Qt window's; a choice made in it must be in the registry
# at once (wine reg query). It goes in this function, which runs before the
# installer run; a failure calls fail.
window_run() {
  local exe
  exe=$(find "$build/src" -name vandrel1.exe -print -quit)
  if [[ -z "$exe" ]]; then
    echo "window run: this build has no vandrel1.exe"
    return 0
  fi
  scripts/wine-window.sh "$build" "$build/screenshot-win32.png" || fail "the window run failed"
}
# ---------------------------------------------------------------------------

# The installer and what it leaves behind.
installer_run() {
  local setup="$build/vandrel1-$version-setup.exe"
  local dir="$WINEPREFIX/drive_c/Program Files/Vandrel1"
  local win='C:\Program Files\Vandrel1'
  local uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vandrel1'
  local settings_key='HKCU\Software\Ostmerin\Vandrel1'
  local lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vandrel1.lnk"
  local work="$build/wine-install"
  rm -rf "$work" && mkdir -p "$work"
  [[ -f "$setup" ]] || fail "no $setup"
  echo "installer: $(basename "$setup"), $(stat -c %s "$setup") bytes"

  wine "$setup" /S </dev/null || fail "the installer ended with $?"
  # Exactly the files of the zip's folder, and the uninstaller.
  (cd "$build/packaging/windows/stage/Vandrel1" && find . -type f | sort) >"$work/shipped"
  (cd "$dir" && find . -type f ! -name uninstall.exe | sort) >"$work/installed"
  diff -u "$work/shipped" "$work/installed" || fail "the installed files are not the shipped ones"
  [[ -f "$dir/uninstall.exe" ]] || fail "no uninstaller"
  wine reg query "$uninstall_key" /v DisplayName </dev/null | grep -q Vandrel1 ||
    fail "no entry in the Uninstall key"
  if [[ -f "$dir/vandrel1.exe" && ! -f "$lnk" ]]; then
    fail "no Start-menu entry for the window"
  fi

  # The installed command line programs the simulated chip from the installed example.
  wine "$win\\vandrel1-cli.exe" --simulate PIC16F628A program "$win\\examples\\blink628a.hex" \
    </dev/null >"$work/program.out" 2>"$work/program.err" || fail "program ended with $?: $(cat "$work/program.err")"
  [[ "$(tail -n 1 "$work/program.out" | tr -d '\r')" == "complete." ]] ||
    fail "program did not say complete.: $(cat "$work/program.out")"
  [[ -n "$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/vandrel1/PIC16F628A.hex')" ]] ||
    fail "no state file under %LOCALAPPDATA%\\vandrel1"

  # Ctrl-C on its console: a slow run, the key pressed once writing has begun.
  # The console is a pseudo-terminal (script), its keys come through a fifo.
  mkfifo "$work/keys"
  script -qefc "wine '$win\\vandrel1-cli.exe' --simulate PIC16F628A --sim-latency 1000 program \
'$win\\examples\\blink628a.hex' >'$work/ctrlc.out' 2>'$work/ctrlc.err'" /dev/null <"$work/keys" >/dev/null &
  local run=$!
  exec 3>"$work/keys"
  wait_for 60 grep -qs '<LOAD PROGRAM MEMORY>' "$work/ctrlc.out" || fail "the slow run did not start writing"
  printf '\003' >&3
  local status=0
  wait "$run" || status=$?
  exec 3>&-
  [[ $status -eq 130 ]] || fail "Ctrl-C: status $status, not 130: $(cat "$work/ctrlc.err")"
  grep -q 'Terminated by user.' "$work/ctrlc.err" || fail "Ctrl-C: $(cat "$work/ctrlc.err")"

  # Uninstalling takes every file and the entries, and leaves the settings.
  wine reg add "$settings_key" /v Device /d PIC16F628A /f </dev/null >/dev/null
  # The uninstaller runs from a copy of itself and returns at once.
  wine "$dir/uninstall.exe" /S </dev/null || fail "the uninstaller ended with $?"
  wait_for 60 test ! -e "$dir" || fail "left behind: $(find "$dir" | head)"
  [[ ! -e "$lnk" ]] || fail "the Start-menu entry is left"
  if wine reg query "$uninstall_key" </dev/null >/dev/null 2>&1; then
    fail "the Uninstall key is left"
  fi
  wine reg query "$settings_key" /v Device </dev/null | grep -q PIC16F628A || fail "the settings are gone"
  wine reg delete "$settings_key" /f </dev/null >/dev/null
  echo "installer: installed, programmed, interrupted, uninstalled"
}

start=$SECONDS
window_run
echo "window run: $((SECONDS - start)) s"
start=$SECONDS
installer_run
echo "installer run: $((SECONDS - start)) s"
