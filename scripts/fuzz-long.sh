#!/usr/bin/env bash
# Long fuzzing runs: each fuzz target (or the ones named) for a given time on
# a copy of its corpus, on every core (libFuzzer's -fork mode).
#
#   scripts/fuzz-long.sh [--time 8h] [--jobs N] [--merge] [--work DIR] [--no-build] [target...]
#
#   --time T    how long each target runs: seconds, or with s, m or h (default 1h)
#   --jobs N    fuzzing processes at once (default: the number of cores)
#   --merge     afterwards, add the inputs that reach new code to fuzz/corpus/<target>
#               (minimized with -merge=1; the corpus only grows)
#   --work DIR  where the copies, logs and any crash inputs go (default build/fuzz/long)
#   --no-build  use the fuzz build as it is
#   target      device_spec, hex_loader, hex_roundtrip, config_names (default: all)
#
# fuzz/<target>.dict, when there is one, is passed as the dictionary.
# Exit status: 0 when no target found a crash, a leak or a time-out, else 1.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit "${1:-2}"; }

seconds() {
  local t=$1
  case "$t" in
    *h) echo $(( ${t%h} * 3600 )) ;;
    *m) echo $(( ${t%m} * 60 )) ;;
    *s) echo $(( ${t%s} )) ;;
    *) echo $(( t )) ;;
  esac
}

time_spec=1h
jobs=$(nproc)
merge=0
work=build/fuzz/long
build=1
targets=()
while (( $# )); do
  case "$1" in
    --time) time_spec=${2:?}; shift 2 ;;
    --jobs) jobs=${2:?}; shift 2 ;;
    --merge) merge=1; shift ;;
    --work) work=${2:?}; shift 2 ;;
    --no-build) build=0; shift ;;
    -h|--help) usage 0 ;;
    -*) echo "fuzz-long: unknown option $1" >&2; usage ;;
    *) targets+=("${1#fuzz_}"); shift ;;
  esac
done
if ! [[ "$time_spec" =~ ^[0-9]+[smh]?$ && "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz-long: --time takes a number with s, m or h; --jobs a count" >&2
  exit 2
fi
total=$(seconds "$time_spec")

if (( build )); then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
fi
if (( ${#targets[@]} == 0 )); then
  for f in build/fuzz/fuzz/fuzz_*; do
    [[ -x "$f" ]] || continue
    f=$(basename "$f")
    targets+=("${f#fuzz_}")
  done
fi
(( ${#targets[@]} )) || { echo "fuzz-long: no fuzz targets in build/fuzz/fuzz" >&2; exit 2; }

status=0
for name in "${targets[@]}"; do
  bin=build/fuzz/fuzz/fuzz_$name
  [[ -x "$bin" ]] || { echo "fuzz-long: no such target: $name" >&2; exit 2; }
  corpus=fuzz/corpus/$name
  dir=$work/$name
  mkdir -p "$dir/corpus" "$dir/artifacts"
  [[ -d "$corpus" ]] && cp -r "$corpus/." "$dir/corpus/"
  args=(-fork="$jobs" -max_total_time="$total" -print_final_stats=1 -artifact_prefix="$dir/artifacts/")
  [[ -f fuzz/$name.dict ]] && args+=(-dict="fuzz/$name.dict")
  echo "=== $name: ${total} s on $jobs processes, corpus $dir/corpus, log $dir/fuzz.log"
  if ! "$bin" "${args[@]}" "$dir/corpus" >"$dir/fuzz.log" 2>&1; then
    status=1
    echo "$name: FAILED (inputs in $dir/artifacts):"
    tail -n 40 "$dir/fuzz.log"
  fi
  # The fork mode's last progress line: runs so far, edges, runs a second.
  grep -E '^#[0-9]+: cov:' "$dir/fuzz.log" | tail -n 1 || true
  if (( merge )) && [[ -d "$corpus" ]]; then
    before=$(find "$corpus" -type f | wc -l)
    "$bin" -merge=1 "$corpus" "$dir/corpus" >"$dir/merge.log" 2>&1 || { echo "$name: merge failed, see $dir/merge.log"; status=1; }
    echo "$name: corpus $before -> $(find "$corpus" -type f | wc -l) inputs"
  fi
done
exit "$status"
