#!/usr/bin/env bash
# Times two builds of varneth on the same inputs in every mode, runs of the
# two taken in turn so that a change in the machine's speed falls on both,
# and prints the median wall time of each and the change. For "no slowdown"
# checks; the speed targets themselves are judged by run_benchmarks.sh.
#
#   bench/compare_binaries.sh [--runs N] [--out-dir DIR] BEFORE AFTER INPUT...
#
# Reports go to /dev/null, or to new files in --out-dir (a disk folder, to
# count the disk's writing too); -z, -b and -j always write files there
# (default: a new folder in $TMPDIR). Put the inputs in /dev/shm: the floor
# (cat) is printed beside them.
set -euo pipefail
runs=5
out_dir=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --out-dir) out_dir="$2"; shift 2 ;;
    *) break ;;
  esac
done
[[ $# -ge 3 ]] || { echo "usage: $0 [--runs N] [--out-dir DIR] BEFORE AFTER INPUT..." >&2; exit 2; }
before=$(realpath "$1")
after=$(realpath "$2")
shift 2
scratch=$(mktemp -d "${out_dir:-${TMPDIR:-/tmp}}/varneth-compare.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
report=/dev/null
[[ -n "$out_dir" ]] && report="$scratch/r.txt"
# (A build from before -j refuses it at once: its -j figure means nothing.)
modes=("" "-s" "-l" "-f" "-a" "-z" "-b body.txt" "-j records.jsonl")

seconds() {  # COMMAND...: wall seconds of one run, output and status ignored
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

printf '%-28s %-12s %9s %9s %8s\n' input mode before after change
for input in "$@"; do
  name=$(basename "$input")
  floor=$(for _ in $(seq "$runs"); do seconds cat "$input"; done | median)
  printf '%-28s %-12s %9.3f\n' "$name" "cat (floor)" "$floor"
  for mode in "${modes[@]}"; do
    times_before=()
    times_after=()
    for _ in $(seq "$runs"); do
      for which in before after; do
        binary=$before
        [[ $which == after ]] && binary=$after
        rm -f "$scratch"/*
        output=(-o "$report")
        [[ $mode == -z || $mode == -b* || $mode == -j* ]] && output=(-o "$scratch/r.txt")
        [[ $mode == -f || $mode == -a ]] && output=()  # the listings go to standard output
        # shellcheck disable=SC2086  # the mode is a list of switches
        t=$(cd "$scratch" && seconds "$binary" $mode "${output[@]}" "$input")
        if [[ $which == before ]]; then times_before+=("$t"); else times_after+=("$t"); fi
      done
    done
    b=$(printf '%s\n' "${times_before[@]}" | median)
    a=$(printf '%s\n' "${times_after[@]}" | median)
    printf '%-28s %-12s %9.3f %9.3f %+7.1f%%\n' "$name" "${mode:-default}" "$b" "$a" \
      "$(echo "scale=4; ($a - $b) * 100 / $b" | bc)"
  done
done
