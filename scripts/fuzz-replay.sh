#!/usr/bin/env bash
# For CI: builds the fuzz targets (clang, libFuzzer, ASan and UBSan) in
# build-fuzz and runs every seed, every committed regression input and the
# real records and $MFT files of tests/data once through each target (the
# image target takes its seeds and regression inputs only). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNETH_FUZZ=ON -DVARNETH_BUILD_TESTS=OFF >/dev/null
fi
cmake --build build-fuzz -j2 >/dev/null
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
build-fuzz/fuzz/make_fuzz_seeds "$seeds"
mkdir -p fuzz/regression/fuzz_record fuzz/regression/fuzz_number_formatter fuzz/regression/fuzz_run \
  fuzz/regression/fuzz_image
real_data=$root/tests/data
[ -d "$real_data/records" ] || { echo "test data missing: $real_data" >&2; exit 1; }
replay() {
  local target=$1 max_len=$2 status=0
  shift 2
  # A busy CI machine gets more than the fuzzer's one second per input.
  build-fuzz/fuzz/"$target" -runs=0 -timeout=10 -max_len="$max_len" -artifact_prefix="$seeds/" "$@" >"$seeds/$target.log" 2>&1 || status=$?
  echo "$target: $(grep -cE '^(Running|Executed)|INITED' "$seeds/$target.log" || true) / $(grep -E 'INITED' "$seeds/$target.log" || true)"
  [ "$status" -eq 0 ] || { cat "$seeds/$target.log"; return 1; }
}
replay fuzz_record 16384 "$seeds/record" fuzz/regression/fuzz_record "$real_data"
replay fuzz_number_formatter 4096 "$seeds/number" fuzz/regression/fuzz_number_formatter
replay fuzz_run 32768 "$seeds/run" fuzz/regression/fuzz_run "$real_data"
replay fuzz_image 65536 "$seeds/image" fuzz/regression/fuzz_image
