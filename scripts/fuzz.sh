#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan and UBSan) in build-fuzz and
# runs each for a while, one target at a time and at the lowest priority.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#   FUZZ_JOBS=2 scripts/fuzz.sh ...   # that many processes a target, one a core
#
# Targets: fuzz_record fuzz_number_formatter fuzz_run fuzz_image (default: all four,
# 600 seconds each). The growing corpus lives in fuzz/out/ (not committed);
# each target's session is appended to fuzz/runs.tsv (seconds, executions,
# findings). A crash, a leak, a broken promise or an input slower than one
# second stops the target and leaves its input in fuzz/out/artifacts/TARGET/;
# once fixed, copy it to fuzz/regression/TARGET/, which the normal test suite
# replays. A timeout that does not happen again when the input is run alone
# (the machine was busy) is set aside in fuzz/out/spurious/ and the fuzzing
# goes on.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-600}
jobs=${FUZZ_JOBS:-1}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_record fuzz_number_formatter fuzz_run fuzz_image)
real_data=$root/tests/data

if [ ! -f build-fuzz/CMakeCache.txt ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNETH_FUZZ=ON -DVARNETH_BUILD_TESTS=OFF >/dev/null
fi
nice -n 19 cmake --build build-fuzz -j1 >/dev/null
build-fuzz/fuzz/make_fuzz_seeds fuzz/out/seeds
cp samples/sample.mft fuzz/out/seeds/run/sample.mft

# Options per target: seed directory, largest input, extra libFuzzer flags.
target_options() {
  case $1 in
    fuzz_record) echo "record 16384" ;;
    fuzz_number_formatter) echo "number 4096 -dict=$root/fuzz/number.dict" ;;
    fuzz_run) echo "run 32768" ;;
    fuzz_image) echo "image 65536" ;;
    *) echo "unknown target $1" >&2; return 1 ;;
  esac
}

# Moves timeouts that do not happen again aside; prints how many.
set_spurious_timeouts_aside() {
  local target=$1 artifacts=$2 artifact moved=0
  for artifact in "$artifacts"timeout-*; do
    [ -e "$artifact" ] || continue
    if nice -n 10 "$root/build-fuzz/fuzz/$target" -timeout=1 -runs=3 "$artifact" >/dev/null 2>&1; then
      mkdir -p "$root/fuzz/out/spurious/$target"
      mv "$artifact" "$root/fuzz/out/spurious/$target/"
      moved=$((moved + 1))
    fi
  done
  echo "$moved"
}

run_target() {
  local target=$1 seeds max_len extra
  read -r seeds max_len extra <<<"$(target_options "$target")"
  local corpus=$root/fuzz/out/corpus/$target artifacts=$root/fuzz/out/artifacts/$target/
  local logs=$root/fuzz/out/logs/$target
  mkdir -p "$corpus" "$artifacts" "$logs" "$root/fuzz/regression/$target"
  local extra_corpora=("$root/fuzz/out/seeds/$seeds" "$root/fuzz/regression/$target")
  # Real records and $MFT files, read in place.
  if [ "$seeds" = record ] || [ "$seeds" = run ]; then
    extra_corpora+=("$real_data")
  fi
  local started=$SECONDS executions=0 status=0 found=no
  while [ $((seconds - (SECONDS - started))) -gt 5 ]; do
    status=0
    rm -f "$logs"/fuzz-*.log
    # shellcheck disable=SC2086  # extra holds whole flags
    (cd "$logs" && nice -n 19 "$root/build-fuzz/fuzz/$target" -jobs="$jobs" -workers="$jobs" \
        -timeout=1 -rss_limit_mb=1024 -max_len="$max_len" \
        -max_total_time=$((seconds - (SECONDS - started))) -print_final_stats=1 \
        -artifact_prefix="$artifacts" $extra "$corpus" "${extra_corpora[@]}") >/dev/null 2>&1 || status=$?
    local ran
    # Each process's closing count, added up.
    ran=$(cat "$logs"/fuzz-*.log | awk '/stat::number_of_executed_units/ {sum += $2} END {print sum + 0}')
    executions=$((executions + ${ran:-0}))
    cat "$logs"/fuzz-*.log >"$logs/session-$(date -u +%Y%m%dT%H%M%S).log"
    local moved
    moved=$(set_spurious_timeouts_aside "$target" "$artifacts")
    if [ -n "$(ls -A "$artifacts")" ]; then
      found=yes
      break
    fi
    # Go on only after a timeout that was set aside.
    [ "$status" -eq 0 ] || [ "$moved" -eq 0 ] && break
  done
  printf '%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$target" "$((SECONDS - started))" \
    "$executions" "$found" | tee -a fuzz/runs.tsv
}

[ -f fuzz/runs.tsv ] || printf 'date\ttarget\tseconds\texecutions\tfinding\n' > fuzz/runs.tsv
for target in "${targets[@]}"; do
  run_target "$target"
done
