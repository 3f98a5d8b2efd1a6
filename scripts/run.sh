#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it.
# With a display: the window, offering the simulated chip as COM0 (a
# PIC16F628A unless VANDREL1_SIMULATOR says otherwise).
# Without one: the command-line program shows the main job in this terminal:
# it programs examples/blink628a.hex into a simulated PIC16F628A, verifies
# it, and reads the chip back into a HEX file (under build/demo/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cmake --build --preset dev --target vandrel1-cli
  cli=build/dev/src/cli/vandrel1-cli
  demo=build/demo
  rm -rf "$demo"
  mkdir -p "$demo"
  # A blank chip of its own, kept in the demo folder between the three runs.
  sim=(--simulate PIC16F628A --sim-state "$demo/PIC16F628A-chip.hex")
  step() {
    echo
    echo "\$ vandrel1-cli --simulate PIC16F628A $*"
    "$cli" "${sim[@]}" "$@"
  }
  echo "No display found: the command-line program vandrel1-cli shows the main job here."
  step program examples/blink628a.hex
  step verify examples/blink628a.hex
  step read "$demo/blink628a-read.hex"
  echo
  echo "The chip, read back into a HEX file: $PWD/$demo/blink628a-read.hex"
  echo "More: $cli --help"
  exit 0
fi

cmake --build --preset dev --target vandrel1
export VANDREL1_SIMULATOR=${VANDREL1_SIMULATOR-PIC16F628A}
exec build/dev/src/ui/vandrel1 "$@"
