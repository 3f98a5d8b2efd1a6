#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it. Without an adapter it
# offers the simulated chip as COM0 (a PIC16F628A unless VANDREL1_SIMULATOR says otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target vandrel1
export VANDREL1_SIMULATOR=${VANDREL1_SIMULATOR-PIC16F628A}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found: starting the window on a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a build/dev/src/ui/vandrel1 "$@"
fi
exec build/dev/src/ui/vandrel1 "$@"
