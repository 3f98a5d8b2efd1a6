#!/usr/bin/env bash
# The Win32 window as a user would use it, under wine and Xvfb: with the
# simulated PIC16F628A on COM0 and its settings put in wine's registry first,
# driven by its access keys only (Erase All, Write All, Verify All, Download,
# then Dump, then Chip > Detect through the menu); its log, read back through the clipboard, must equal the log the
# Qt window writes for the same run (tests/data/window_run_628a.log, checked
# on the Qt side by ui_tests); a choice made in the window must be in the
# registry at once.
#   scripts/wine-window.sh [BUILD_DIR [SCREENSHOT.png]]
# Needs xvfb-run, xdotool, xclip and imagemagick (scripts/setup.sh --ci).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/mingw}
shot=${2:-}
exe=$(find "$build/src" -name vandrel1.exe -print -quit)
[[ -n $exe ]] || { echo "wine-window: no vandrel1.exe in $build" >&2; exit 1; }

work=$(mktemp -d)
trap 'WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export VANDREL1_SIMULATOR=PIC16F628A
hex="Z:$(realpath examples/blink628a.hex | tr / '\\')"

cat >"$work/drive.sh" <<DRIVE
set -euo pipefail
key='HKCU\\Software\\Ostmerin\\Vandrel1'
wine reg add "\$key" /v HexFilePath /t REG_SZ /d '$hex' /f >/dev/null 2>&1
wine reg add "\$key" /v ComPort /t REG_SZ /d COM0 /f >/dev/null 2>&1
wine reg add "\$key" /v PicDevice /t REG_SZ /d PIC16F628A /f >/dev/null 2>&1
wine reg add "\$key" /v DumpAddress /t REG_SZ /d 2000 /f >/dev/null 2>&1
wine reg add "\$key" /v DumpSize /t REG_SZ /d 8 /f >/dev/null 2>&1
wine '$exe' </dev/null >/dev/null 2>&1 &
window=
for _ in \$(seq 120); do
  window=\$(xdotool search --name '^Vandrel1\$' 2>/dev/null | head -1) && [[ -n \$window ]] && break
  sleep 0.5
done
[[ -n \$window ]] || { echo "wine-window: no window" >&2; exit 1; }
sleep 1
xdotool windowactivate --sync "\$window" >/dev/null 2>&1 || true
eval "\$(xdotool getwindowgeometry --shell "\$window")"
# The log: a click into it, select all, copy.
copy_log() {
  xdotool mousemove \$((X + 100)) \$((Y + 300)) click 1
  xdotool key ctrl+a ctrl+c
  sleep 0.2
  xclip -o -selection clipboard 2>/dev/null | tr -d '\r' > '$work/log.txt' || true
}
wait_for_log() {
  for _ in \$(seq 240); do
    copy_log
    grep -q "\$1" '$work/log.txt' && return 0
    sleep 0.5
  done
  echo "wine-window: the log never showed '\$1'" >&2
  cat '$work/log.txt' >&2
  exit 1
}
for k in alt+e alt+w alt+v; do xdotool key "\$k"; sleep 0.2; done
xdotool key alt+d
wait_for_log '^complete\.\$'
xdotool key alt+u
wait_for_log '^2007 '
cp '$work/log.txt' '$work/run.txt'
if [[ -n '$shot' ]]; then
  sleep 1 # not a double click
  xdotool mousemove \$((X + 100)) \$((Y + 300)) click 1 # no selection in the picture
  sleep 0.3
  import -window root -crop "\${WIDTH}x\${HEIGHT}+\${X}+\${Y}" +repage '$shot'
fi
# A choice is in the registry the moment it is made.
xdotool key alt+a
xdotool type 1f
sleep 0.5
wine reg query "\$key" /v DumpAddress > '$work/reg.txt'
# The menu: Chip, Detect, by their access keys; the chip's name in the log.
xdotool key alt+t
sleep 0.5
xdotool key d
wait_for_log '^PIC16F628A revision '
xdotool key alt+F4
DRIVE

xvfb-run -a -s '-screen 0 1024x768x24' bash "$work/drive.sh"

if ! diff -u tests/data/window_run_628a.log <(cat "$work/run.txt"; echo) >&2; then
  echo "wine-window: the Win32 window's log differs from the Qt window's" >&2
  exit 1
fi
grep -q 'DumpAddress *REG_SZ *1F' "$work/reg.txt" || {
  echo "wine-window: the dump address typed was not in the registry at once" >&2
  cat "$work/reg.txt" >&2
  exit 1
}
echo "wine-window: $(wc -l < tests/data/window_run_628a.log) log lines as the Qt window writes them; the choice in the registry at once; Chip > Detect logged: $(grep '^PIC16F628A revision' "$work/log.txt")"
