#!/usr/bin/env bash
# Assembles the test programs, one HEX file per chip (gputils' gpasm).
set -euo pipefail
cd "$(dirname "$0")"
build() { # source chip...
    local source=$1
    shift
    for chip in "$@"; do
        gpasm -q -p "p$chip" -o "pic$chip.hex" "$source"
        rm -f "pic$chip.cod" "pic$chip.lst"
    done
}
build blink6xx.asm 12f629 12f675 16f630 16f676
build blink87xa.asm 16f873a 16f874a 16f876a 16f877a
build blink88.asm 16f87 16f88 16f818 16f819
