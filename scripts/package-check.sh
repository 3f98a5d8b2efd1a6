#!/usr/bin/env bash
# Builds the Debian package from the release preset's build tree, checks it
# with lintian, installs it with apt, uses what it installed, removes it again
# and checks that nothing of it is left under /usr. Run after
# `cmake --build --preset release`; needs root or sudo (as scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
fail() { echo "package-check: $*" >&2; exit 1; }
step() { echo "--- $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
example=/usr/share/doc/vandrel1/examples/blink628a.hex

step "package"
rm -f build/release/package/vandrel1_*.deb
cmake --build --preset release --target package
debs=(build/release/package/vandrel1_*.deb)
((${#debs[@]} == 1)) && [[ -f ${debs[0]} ]] || fail "expected one package, found: ${debs[*]}"
deb=${debs[0]}
dpkg-deb --field "$deb"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

step "lintian"
# Every tag down to the informational ones is shown; errors fail the check.
lintian_ok=1
lintian --info --fail-on error "$deb" >"$work/lintian" 2>&1 || lintian_ok=0
grep -v 'running with root privileges' "$work/lintian" || echo "(no tags)"
((lintian_ok)) || fail "lintian reports errors"

step "install"
if dpkg-query -W vandrel1 >/dev/null 2>&1; then
  $sudo apt-get remove --purge -y -qq vandrel1 >/dev/null
fi
$sudo apt-get install -y -qq "./$deb"
version=$(dpkg-query -W -f='${Version}' vandrel1)
dpkg -L vandrel1 | sort >"$work/files"
# What each entry was while installed: the removal check below needs it.
while IFS= read -r path; do
  if [[ -d $path && ! -L $path ]]; then echo "d $path"; else echo "f $path"; fi
done <"$work/files" >"$work/kinds"

step "command-line program"
[[ $(command -v vandrel1-cli) == /usr/bin/vandrel1-cli ]] || fail "vandrel1-cli is not /usr/bin/vandrel1-cli"
got=$(vandrel1-cli --version)
[[ $got == "vandrel1-cli $version" ]] || fail "--version says '$got', the package is $version"
echo "$got"
first=$(vandrel1-cli devices | head -n 1)
[[ $first == "device file: /usr/share/vandrel1/picspecs.ini" ]] || fail "devices read '$first'"
vandrel1-cli devices

# The simulated chip keeps its memories in the temporary folder.
export XDG_STATE_HOME=$work/state
sim=(vandrel1-cli --simulate PIC16F628A --sim-state "$work/chip.hex")
"${sim[@]}" program "$example" >"$work/program.log" || { cat "$work/program.log"; fail "program failed"; }
[[ $(tail -n 1 "$work/program.log") == "complete." ]] || { cat "$work/program.log"; fail "program did not complete"; }
"${sim[@]}" read "$work/back.hex" || fail "read failed"
# Every program and user ID record of the example comes back as it was.
while IFS= read -r record; do
  record=${record%$'\r'}
  [[ ${record:7:2} == 00 ]] && ((16#${record:3:4} < 16#4000)) || continue
  grep -qxF "$record" "$work/back.hex" || fail "read back lacks $record"
done <"$example"
echo "programmed $example into a simulated PIC16F628A and read it back"
# The same chip through the simulated FT232R cable (no USB is touched).
"${sim[@]}" -p ftdi verify "$example" >"$work/verify.log" || { cat "$work/verify.log"; fail "verify over ftdi failed"; }
[[ $(tail -n 1 "$work/verify.log") == "complete." ]] || { cat "$work/verify.log"; fail "verify over ftdi did not complete"; }
echo "verified it through the simulated FT232R cable"
"${sim[@]}" config | grep -q '^  FOSC  = INTOSCIO ' || fail "config does not name the example's oscillator"
echo "config names the bits with /usr/share/vandrel1/picconfig.ini"

step "shell completion"
for script in /usr/share/bash-completion/completions/vandrel1-cli /usr/share/zsh/vendor-completions/_vandrel1-cli \
  /usr/share/fish/vendor_completions.d/vandrel1-cli.fish; do
  grep -qxF "$script" "$work/files" || fail "the package has no $script"
done
loaded=$(bash -c 'source /usr/share/bash-completion/completions/vandrel1-cli && complete -p vandrel1-cli') ||
  fail "bash cannot load the completion script"
[[ $loaded == "complete -F _vandrel1_cli vandrel1-cli" ]] || fail "bash completion: $loaded"
zcat /usr/share/man/man1/vandrel1-cli.1.gz | grep -qF 'skip\-same' || fail "the manual page does not list --skip-same"
echo "$loaded; the manual page lists the commands' options"

step "udev rule"
rule=/usr/lib/udev/rules.d/60-vandrel1-ft232r.rules
grep -qxF "$rule" "$work/files" || fail "the package has no $rule"
grep -q 'ATTR{idVendor}=="0403", ATTR{idProduct}=="6001".*GROUP="plugdev"' "$rule" || fail "$rule: no plugdev rule"
echo "$rule"

step "window"
mkdir -p "$work/home"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config VANDREL1_SIMULATOR=PIC16F628A \
  xvfb-run -a bash -c '
    vandrel1 & pid=$!
    sleep 5
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"; echo "the window ended within 5 s (status $?)" >&2; exit 1
    fi
    kill "$pid"; wait "$pid" 2>/dev/null || true' || fail "the window did not stay up"
echo "the window stayed up for 5 s"

step "manual pages"
for page in vandrel1-cli vandrel1; do
  found=$(man -w "$page") || fail "man -w $page finds nothing"
  grep -qxF "$found" "$work/files" || fail "man -w $page finds $found, not the package's page"
  echo "$found"
done

step "remove"
$sudo apt-get remove --purge -y -qq vandrel1 >/dev/null
if dpkg-query -W -f='${Status}' vandrel1 2>/dev/null | grep -q .; then
  fail "dpkg still knows vandrel1 after --purge"
fi
left=0
while read -r kind path; do
  [[ -e $path || -L $path ]] || continue
  # Shared folders (/usr/bin, the icon theme's) stay with their other owners.
  if [[ $kind == d ]] && dpkg-query -S "$path" >/dev/null 2>&1; then
    continue
  fi
  echo "left behind: $path" >&2
  left=1
done <"$work/kinds"
((left == 0)) || fail "the removal left files under /usr"
echo "removed; nothing of the package's $(wc -l <"$work/files") entries is left"
