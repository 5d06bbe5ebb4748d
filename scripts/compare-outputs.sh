#!/usr/bin/env bash
# Runs two builds of varneth on the same inputs in every mode and compares
# everything a user gets: the exit status, the console (log time stamps
# masked), the report, the body file, varneth.log and the zip entry's
# content. Used to show that a change of implementation changes no output,
# failures included (the last three modes write to a full device).
#
#   scripts/compare-outputs.sh BEFORE AFTER INPUT...
#
# Prints one line per input and mode and a closing "N passed, N failed".
set -uo pipefail
[ $# -ge 3 ] || { echo "usage: $0 BEFORE AFTER INPUT..." >&2; exit 2; }
before=$(realpath "$1")
after=$(realpath "$2")
shift 2
modes=("" "-s" "-l" "-v" "-l -v -d" "-s -m WS01" "-f" "-a" "-z -v" "-l -z" "-b body.txt" "-l -v -b body.txt"
       "-v -o /dev/full" "-v -b /dev/full" "-z -v -b /dev/full")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mask() { sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}: /TIME: /g' "$@"; }

run_one() {  # BINARY DIR MODE INPUT
  local binary=$1 dir=$2 mode=$3 input=$4
  mkdir -p "$dir"
  # shellcheck disable=SC2086  # the mode is a list of switches
  (cd "$dir" && "$binary" $mode "$input" >console.raw 2>stderr.raw; echo $? >status)
  mask "$dir/console.raw" >"$dir/console"
  mask "$dir/stderr.raw" >"$dir/stderr"
  [ -f "$dir/varneth.log" ] && mask "$dir/varneth.log" >"$dir/log" && rm "$dir/varneth.log"
  for zip in "$dir"/*.zip; do
    [ -f "$zip" ] || continue
    /usr/bin/python3 - "$zip" >"$dir/zip-content" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        sys.stdout.buffer.write(info.filename.encode() + b"\n")
        sys.stdout.buffer.write(archive.read(info))
EOF
    rm "$zip"
  done
  rm -f "$dir/console.raw" "$dir/stderr.raw"
}

passed=0
failed=0
for input in "$@"; do
  input=$(realpath "$input")
  for mode in "${modes[@]}"; do
    rm -rf "${scratch:?}"/*
    run_one "$before" "$scratch/before" "$mode" "$input"
    run_one "$after" "$scratch/after" "$mode" "$input"
    if diff -r "$scratch/before" "$scratch/after" >"$scratch/diff" 2>&1; then
      passed=$((passed + 1))
      printf 'same      %-28s %s\n' "$(basename "$input")" "${mode:-(report)}"
    else
      failed=$((failed + 1))
      printf 'DIFFERENT %-28s %s\n' "$(basename "$input")" "${mode:-(report)}"
      head -20 "$scratch/diff"
    fi
  done
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
