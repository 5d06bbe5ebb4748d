#!/usr/bin/env bash
# Runs the tool under valgrind memcheck in every mode on the bundled sample
# and on real $MFT files: any memory error, or any leak definitely lost, fails
# (exit status 1). Needs a build without sanitizers.
#
#   scripts/valgrind-check.sh [BINARY]      (default: build/varneth)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
binary=$(realpath "${1:-build/varneth}")
inputs=("$root/samples/sample.mft")
for corpus_file in win10-20h1.mft win10-ntfs-ptrn.mft; do
  inputs+=("$root/tests/data/$corpus_file")
done
modes=("" "-l -z -d -v" "-s" "-f" "-a")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
for input in "${inputs[@]}"; do
  for mode in "${modes[@]}"; do
    rm -rf "${scratch:?}"/*
    log=$scratch/memcheck.txt
    # shellcheck disable=SC2086  # the mode is a list of switches
    (cd "$scratch" && valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
        --errors-for-leak-kinds=definite --error-exitcode=99 --log-file="$log" \
        --suppressions="$root/scripts/valgrind.supp" \
        "$binary" $mode "$input" >/dev/null 2>&1) || status=$?
    status=${status:-0}
    errors=$(grep -o 'ERROR SUMMARY: [0-9]*' "$log" | awk '{print $3}' || true)
    lost=$(grep -o 'definitely lost: [0-9,]* bytes' "$log" | awk '{print $3}' || true)
    printf '%-24s %-14s exit %-3s errors %s, definitely lost %s bytes\n' \
      "$(basename "$input")" "${mode:-(report)}" "$status" "${errors:-?}" "${lost:-0}"
    if [ "$status" -eq 99 ] || [ "${errors:-1}" != 0 ]; then
      failed=1
      cat "$log"
    fi
    unset status
  done
done
exit $failed
