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
# Code and data protection on, other user IDs: pic<chip>-cp.hex.
build_protected() { # source chip...
    local source=$1
    shift
    for chip in "$@"; do
        gpasm -q -D PROTECTED -p "p$chip" -o "pic$chip-cp.hex" "$source"
        rm -f "pic$chip-cp.cod" "pic$chip-cp.lst"
    done
}
build blink6xx.asm 12f629 12f675 16f630 16f676
build blink87xa.asm 16f873a 16f874a 16f876a 16f877a
build blink88.asm 16f87 16f88 16f818 16f819
build blink84.asm 16f84a 16f628a
build blink_families.asm 12f683 16f946 16f887 12f609 16f616 16f72 16f777 16f716 16f877 16f84 16f627 16f628
build_protected blink84.asm 16f84a 16f628a
build_protected blink6xx.asm 12f675
build_protected blink87xa.asm 16f877a
build_protected blink88.asm 16f88 16f819
