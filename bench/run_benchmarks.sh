#!/usr/bin/env bash
# Times varneth on generated $MFT files of 1,000,000 and 4,000,000 records:
# the read floor (cat), the report in the default, short and long formats,
# the two listings, and fsntfsinfo -E all as an independent reader. Prints
# the median wall time of the runs, records per second, the ratio to the
# floor and the peak resident memory of each.
#
#   bench/run_benchmarks.sh                     # the full benchmark (build-bench)
#   bench/run_benchmarks.sh --records 10000 --runs 1 --check   # the CI smoke
#
# Options:
#   --records N[,N...]  sizes to generate (default 1000000,4000000)
#   --large-records N   also time the default report on N records of 4096
#                       bytes, as on 4K-sector volumes (default 250000; 0
#                       leaves it out)
#   --runs N            runs per measurement, the median is shown (default 3)
#   --reference-runs N  runs of fsntfsinfo (default: as --runs; 0 leaves it out)
#   --build-dir DIR     where varneth and bench/ were built (default build-bench)
#   --work-dir DIR      where the reports go (default: a new directory in $TMPDIR)
#   --input-dir DIR     where the generated $MFT goes (default: /dev/shm when it
#                       has room, else the work directory): it is read from
#                       memory either way, and keeping it off the disk spares
#                       the disk 4 GiB of writes that would slow the reports
#   --seed N            generator seed (default 1)
#   --check             also check the report and log lines against the plain
#                       reference run, byte for byte
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
records="1000000,4000000"
large_records=250000
runs=3
reference_runs=""
build_dir="$source_dir/build-bench"
work_parent="${TMPDIR:-/tmp}"
work_dir=""
input_parent=""
seed=1
check=0

fail() { echo "run_benchmarks: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case "$1" in
    --records) records="$2"; shift 2 ;;
    --large-records) large_records="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --reference-runs) reference_runs="$2"; shift 2 ;;
    --build-dir) build_dir="$2"; shift 2 ;;
    --work-dir) work_parent="$2"; shift 2 ;;
    --input-dir) input_parent="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    --check) check=1; shift ;;
    *) fail "unknown option $1 (see the head of this script)" ;;
  esac
done
reference_runs="${reference_runs:-$runs}"

tool="$build_dir/varneth"
generator="$build_dir/bench/make_bench_mft"
reference="$build_dir/bench/reference_report"
for program in "$tool" "$generator" "$reference"; do
  [ -x "$program" ] || fail "$program is missing: build with cmake --build $build_dir"
done
[ -x /usr/bin/time ] || fail "/usr/bin/time is missing (Debian package time)"
fsntfsinfo="$(command -v fsntfsinfo || true)"

work_dir="$(mktemp -d "$work_parent/varneth-bench-XXXXXX")"
input_dir="$work_dir"
trap 'rm -rf "$work_dir" "$input_dir"' EXIT

# Room for the largest $MFT and the reports of all its runs (1 KiB a record
# for the $MFT, at most 0.4 KiB for each report).
largest=0
for n in ${records//,/ }; do
  [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 0 ] || fail "bad record count $n"
  [ "$n" -gt "$largest" ] && largest="$n"
done
[[ "$large_records" =~ ^[0-9]+$ ]] || fail "bad record count $large_records"
[ $((large_records * 4)) -gt "$largest" ] && largest=$((large_records * 4))
needed_kib=$((largest * (10 + 12 * runs) / 10 + 65536))
free_kib="$(df -Pk "$work_dir" | awk 'NR == 2 { print $4 }')"
[ "$free_kib" -ge "$needed_kib" ] || fail "$work_dir has $((free_kib / 1024)) MiB free, $((needed_kib / 1024)) MiB needed"
if [ -z "$input_parent" ] && [ -d /dev/shm ] &&
   [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -ge $((largest + 65536)) ]; then
  input_parent=/dev/shm
fi
if [ -n "$input_parent" ]; then
  input_dir="$(mktemp -d "$input_parent/varneth-bench-XXXXXX")"
fi

# One measurement: runs of the command, its standard output thrown away;
# prints "median_seconds peak_kib". The wall time is taken to the
# nanosecond around /usr/bin/time, which gives the peak resident memory.
# REPORT in the command stands for a new report file for each run (removing
# old ones between runs would time the file system's discards); the disk is
# settled before the clock starts.
measure() {
  local count="$1"; shift
  local times=() peak=0 i start end kib command
  for ((i = 0; i < count; i++)); do
    command=("${@/#REPORT/$work_dir/report-$(date +%s%N).txt}")
    sync
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work_dir/time" "${command[@]}" > /dev/null 2> "$work_dir/stderr" ||
      fail "${command[*]} failed: $(tail -n 3 "$work_dir/stderr")"
    end=$(date +%s%N)
    kib="$(tail -n 1 "$work_dir/time")"
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')")
    [ "$kib" -gt "$peak" ] && peak="$kib"
  done
  local median
  median="$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"
  echo "$median $peak"
}

row() {  # size label median peak floor
  awk -v n="$1" -v label="$2" -v t="$3" -v kib="$4" -v floor="$5" 'BEGIN {
    rate = t > 0 ? sprintf("%.0f", n / t) : "-"
    ratio = floor > 0 ? sprintf("%.1f", t / floor) : "-"
    printf "| %9d | %-22s | %8.3f | %11s | %7s | %8.1f |\n", n, label, t, rate, ratio, kib / 1024
  }'
}

# The tool's -v console reduced to the record loop's log lines.
console_events() {
  tr '\r' '\n' < "$1" |
    sed -n '/^[0-9-]* [0-9:]*: Processing \$MFT file\.$/,/^[0-9-]* [0-9:]*: \$MFT dump complete\.$/p' |
    sed '1d;$d' | grep -v '^Records processed: ' |
    sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}: /LOG /' || true
}

check_identity() {  # mft size
  local mft="$1" format
  for format in default -l -s; do
    local switches=()
    [ "$format" != default ] && switches=("$format")
    "$tool" -v "${switches[@]}" -o "$work_dir/tool.txt" "$mft" > "$work_dir/tool.console" ||
      fail "varneth $format failed"
    "$reference" "${switches[@]}" "$mft" "$work_dir/reference.txt" "$work_dir/reference.events" ||
      fail "reference_report $format failed"
    cmp -s "$work_dir/tool.txt" "$work_dir/reference.txt" || fail "the $format report differs from the reference"
    console_events "$work_dir/tool.console" > "$work_dir/tool.events"
    cmp -s "$work_dir/tool.events" "$work_dir/reference.events" ||
      fail "the $format log lines differ from the reference"
  done
  for listing in -f -a; do
    "$tool" "$listing" "$mft" > "$work_dir/tool.list" || fail "varneth $listing failed"
    "$reference" "$listing" "$mft" "$work_dir/reference.txt" "$work_dir/reference.events" ||
      fail "reference_report $listing failed"
    cmp -s "$work_dir/tool.list" "$work_dir/reference.events" || fail "the $listing listing differs from the reference"
  done
  echo "identity: $2 records: the reports in three formats, their log lines and both listings" \
       "match the reference run"

}

echo "varneth benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), seed $seed, median of $runs"
echo "input in $input_dir, reports in $work_dir ($(df -P "$work_dir" | awk 'NR == 2 { print $1 }'))"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "|   records | run                    | median s |   records/s | x floor | peak MiB |"
echo "|----------:|:-----------------------|---------:|------------:|--------:|---------:|"

default_times=()
for n in ${records//,/ }; do
  mft="$input_dir/bench-$n.mft"
  read -r generated generator_kib < <(measure 1 "$generator" --seed "$seed" "$n" "$mft")
  cat "$mft" > /dev/null  # into the page cache, as for every run after it

  read -r floor kib < <(measure "$runs" cat "$mft")
  row "$n" "make_bench_mft (write)" "$generated" "$generator_kib" "$floor"
  row "$n" "cat (floor)" "$floor" "$kib" "$floor"
  read -r t kib < <(measure "$runs" "$tool" -o REPORT "$mft")
  row "$n" "varneth (default)" "$t" "$kib" "$floor"
  default_times+=("$n $t")
  read -r t kib < <(measure "$runs" "$tool" -o /dev/null "$mft")
  row "$n" "varneth (to /dev/null)" "$t" "$kib" "$floor"
  read -r t kib < <(measure "$runs" "$tool" -s -o REPORT "$mft")
  row "$n" "varneth -s" "$t" "$kib" "$floor"
  read -r t kib < <(measure "$runs" "$tool" -l -o REPORT "$mft")
  row "$n" "varneth -l" "$t" "$kib" "$floor"
  read -r t kib < <(measure "$runs" "$tool" -f "$mft")
  row "$n" "varneth -f" "$t" "$kib" "$floor"
  read -r t kib < <(measure "$runs" "$tool" -a "$mft")
  row "$n" "varneth -a" "$t" "$kib" "$floor"
  if [ -n "$fsntfsinfo" ] && [ "$reference_runs" -gt 0 ]; then
    read -r t kib < <(measure "$reference_runs" "$fsntfsinfo" -E all "$mft")
    row "$n" "fsntfsinfo -E all" "$t" "$kib" "$floor"
  fi
  if [ "$check" = 1 ]; then
    check_identity "$mft" "$n"
  fi
  rm -f "$mft" "$work_dir"/report-*.txt "$work_dir"/tool.* "$work_dir"/reference.*
done

if [ "$large_records" -gt 0 ]; then
  n="$large_records"
  mft="$input_dir/bench-$n-4096.mft"
  read -r generated generator_kib < <(measure 1 "$generator" --seed "$seed" --record-size 4096 "$n" "$mft")
  cat "$mft" > /dev/null
  read -r floor kib < <(measure "$runs" cat "$mft")
  row "$n" "cat (floor), 4096 B" "$floor" "$kib" "$floor"
  read -r t kib < <(measure "$runs" "$tool" -o REPORT "$mft")
  row "$n" "varneth, 4096 B" "$t" "$kib" "$floor"
  rm -f "$mft" "$work_dir"/report-*.txt
fi

echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "${#default_times[@]}" -ge 2 ]; then
  printf '%s\n' "${default_times[@]}" | awk '
    NR == 1 { n1 = $1; t1 = $2 }
    END { printf "default format: %d records take %.2f times as long as %d\n", $1, $2 / t1, n1 }'
fi
