#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need.
# Idempotent; works as root or through sudo.
#   scripts/setup.sh          build, tests and the window
#   scripts/setup.sh --ci     also clang/libFuzzer, the Windows cross-build with wine, its
#                             icon, installer and window run (icoutils, nsis, xdotool,
#                             imagemagick), and the tools of the package check (lintian, man,
#                             desktop entry check)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libftdi1-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth fonts-dejavu-core
  gputils help2man librsvg2-bin
)
if [[ "${1:-}" == "--ci" ]]; then
  packages+=(clang libclang-rt-dev g++-mingw-w64-x86-64-posix wine wine64 googletest
    icoutils nsis xdotool xclip imagemagick
    lintian desktop-file-utils man-db)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
