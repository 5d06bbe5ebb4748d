#!/usr/bin/env bash
# Times varneth on generated $MFT files of 1,000,000 and 4,000,000 records
# and on the $MFT of a real volume of 300,000 files: the read floor (cat),
# the report in the default, short and long formats (to the disk, to
# /dev/null and to /dev/shm), the two listings, the zipped report (-z), the
# report with a body file (-b), the report with JSON lines (-j), and fsntfsinfo -E all as an independent
# reader. Prints the median wall time of the runs, records per second, the
# ratio to the floor, the CPU use (user + system time over wall time) and the
# peak resident memory of each, then the figures the speed targets are
# judged on.
#
#   bench/run_benchmarks.sh                     # the full benchmark (build-bench)
#   bench/run_benchmarks.sh --records 10000 --runs 1 --check   # the CI smoke
#
# Options:
#   --records N[,N...]  sizes to generate (default 1000000,4000000)
#   --large-records N   also time the default report on N records of 4096
#                       bytes, as on 4K-sector volumes (default 250000; 0
#                       leaves it out)
#   --real-volume-files N
#                       also time the $MFT of a real NTFS volume that ntfs-3g
#                       filled with N files (default 300000; 0 leaves it out).
#                       Building it needs root, FUSE, mkntfs, ntfs-3g and icat
#                       and takes one to two minutes; the extracted $MFT is kept
#                       as varneth-bench-real-N.mft in the input directory's
#                       parent (/dev/shm) and used again by later runs
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
real_files=300000
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
    --real-volume-files) real_files="$2"; shift 2 ;;
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
ram_dir=""
trap 'rm -rf "$work_dir" "$input_dir" ${ram_dir:+"$ram_dir"}' EXIT

free_kib() { df -Pk "$1" | awk 'NR == 2 { print $4 }'; }

# Room for the largest $MFT and the reports of all its runs (1 KiB a record
# for the $MFT; for each run about 0.3 KiB a record for each of the three
# formats and the -b and -j reports, 0.45 KiB for the body file, 0.8 KiB for
# the JSON lines, 0.06 KiB for the zip).
largest=0
for n in ${records//,/ }; do
  [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 0 ] || fail "bad record count $n"
  [ "$n" -gt "$largest" ] && largest="$n"
done
[[ "$large_records" =~ ^[0-9]+$ ]] || fail "bad record count $large_records"
[[ "$real_files" =~ ^[0-9]+$ ]] || fail "bad file count $real_files"
[ $((large_records * 4)) -gt "$largest" ] && largest=$((large_records * 4))
needed_kib=$((largest * (10 + 30 * runs) / 10 + 65536))
[ "$(free_kib "$work_dir")" -ge "$needed_kib" ] ||
  fail "$work_dir has $(($(free_kib "$work_dir") / 1024)) MiB free, $((needed_kib / 1024)) MiB needed"
if [ -z "$input_parent" ] && [ -d /dev/shm ] && [ "$(free_kib /dev/shm)" -ge $((largest + 65536)) ]; then
  input_parent=/dev/shm
fi
if [ -n "$input_parent" ]; then
  input_dir="$(mktemp -d "$input_parent/varneth-bench-XXXXXX")"
fi
# The default report, and with -j its JSON lines, are also timed on a
# RAM-backed directory, so that the growth from one size to the next is the
# tool's and not the disk's (1.2 KiB a record for the JSON lines).
ram_needed_kib=$((largest * 16 / 10 + 65536))
if [ -d /dev/shm ] && [ "$(free_kib /dev/shm)" -ge $((largest + ram_needed_kib)) ]; then
  ram_dir="$(mktemp -d /dev/shm/varneth-bench-reports-XXXXXX)"
fi

# One measurement: runs of the command, its standard output thrown away;
# prints "median_seconds peak_kib cpu", cpu being the median run's user and
# system time over its wall time (1.00: one core busy throughout). The wall
# time is taken to the nanosecond around /usr/bin/time, which gives the peak
# resident memory and the CPU times.
# REPORT, BODY and JSON in the command stand for a new report, body file and
# JSON lines on the
# disk for each run (removing old ones between runs would time the file
# system's discards), RAMREPORT and RAMJSON for a report and JSON lines in
# /dev/shm, removed before each
# run: memory never touched before costs a virtual machine's kernel several
# times the system time of reused pages, which would swamp the tool's growth.
# The disk is settled before the clock starts.
measure() {
  local count="$1"; shift
  local results=() peak=0 i start end kib user system command argument stamp
  for ((i = 0; i < count; i++)); do
    stamp="$(date +%s%N)"
    command=()
    for argument in "$@"; do
      case "$argument" in
        REPORT) command+=("$work_dir/report-$stamp.txt") ;;
        BODY) command+=("$work_dir/body-$stamp.txt") ;;
        JSON) command+=("$work_dir/json-$stamp.jsonl") ;;
        RAMREPORT) rm -f "$ram_dir/report.txt"; command+=("$ram_dir/report.txt") ;;
        RAMJSON) rm -f "$ram_dir/records.jsonl"; command+=("$ram_dir/records.jsonl") ;;
        *) command+=("$argument") ;;
      esac
    done
    sync
    start=$(date +%s%N)
    /usr/bin/time -f "%M %U %S" -o "$work_dir/time" "${command[@]}" > /dev/null 2> "$work_dir/stderr" ||
      fail "${command[*]} failed: $(tail -n 3 "$work_dir/stderr")"
    end=$(date +%s%N)
    read -r kib user system < <(tail -n 1 "$work_dir/time")
    results+=("$(awk -v a="$start" -v b="$end" -v u="$user" -v s="$system" \
                 'BEGIN { t = (b - a) / 1e9; printf "%.3f %.2f", t, (t > 0 ? (u + s) / t : 0) }')")
    [ "$kib" -gt "$peak" ] && peak="$kib"
  done
  printf '%s\n' "${results[@]}" | sort -g |
    awk -v peak="$peak" '{ t[NR] = $1; c[NR] = $2 } END { m = int((NR + 1) / 2); print t[m], peak, c[m] }'
}

row() {  # size label median peak cpu floor
  awk -v n="$1" -v label="$2" -v t="$3" -v kib="$4" -v cpu="$5" -v floor="$6" 'BEGIN {
    rate = t > 0 ? sprintf("%.0f", n / t) : "-"
    ratio = floor > 0 ? sprintf("%.1f", t / floor) : "-"
    printf "| %9d | %-30s | %8.3f | %11s | %7s | %4.2f | %8.1f |\n", n, label, t, rate, ratio, cpu, kib / 1024
  }'
}

# The figures the speed targets are judged on, printed after the table.
summary=()
highest_peak=0
note_peak() { [ "$1" -gt "$highest_peak" ] && highest_peak="$1"; return 0; }
rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.0f", (t > 0 ? n / t : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# The runs that the targets name, on one $MFT of N records: the default and
# long reports, the listings, -z, -b and -j, each against the cat floor.
time_target_runs() {  # size mft floor prefix
  local n="$1" mft="$2" floor="$3" prefix="$4" t kib cpu plain long files streams zipped body json json_kib
  local ram_plain="" ram_json=""
  read -r t kib cpu < <(measure "$runs" "$tool" -o REPORT "$mft")
  row "$n" "${prefix}varneth (default)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; plain="$t"
  if [ -z "$prefix" ]; then
    default_times+=("$n $t")
    read -r t kib cpu < <(measure "$runs" "$tool" -o /dev/null "$mft")
    row "$n" "varneth (to /dev/null)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"
    if [ -n "$ram_dir" ]; then
      "$tool" -o "$ram_dir/report.txt" "$mft" > /dev/null  # untimed: the pages the timed runs reuse
      read -r t kib cpu < <(measure "$runs" "$tool" -o RAMREPORT "$mft")
      row "$n" "varneth (to /dev/shm)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"
      ram_times+=("$n $t"); ram_plain="$t"
      rm -f "$ram_dir/report.txt"
    fi
    read -r t kib cpu < <(measure "$runs" "$tool" -s -o REPORT "$mft")
    row "$n" "varneth -s" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"
  fi
  read -r t kib cpu < <(measure "$runs" "$tool" -l -o REPORT "$mft")
  row "$n" "${prefix}varneth -l" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; long="$t"
  read -r t kib cpu < <(measure "$runs" "$tool" -f "$mft")
  row "$n" "${prefix}varneth -f" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; files="$t"
  read -r t kib cpu < <(measure "$runs" "$tool" -a "$mft")
  row "$n" "${prefix}varneth -a" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; streams="$t"
  read -r t kib cpu < <(measure "$runs" "$tool" -z -o REPORT "$mft")
  row "$n" "${prefix}varneth -z (whole run)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; zipped="$t"
  read -r t kib cpu < <(measure "$runs" "$tool" -b BODY -o REPORT "$mft")
  row "$n" "${prefix}varneth -b (report+body)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; body="$t"
  read -r t kib cpu < <(measure "$runs" "$tool" -j JSON -o REPORT "$mft")
  row "$n" "${prefix}varneth -j (report+JSON)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; json="$t"; json_kib="$kib"
  # Both in memory too: the JSON lines are 3.5 times the report's bytes, and
  # on the disk the run mostly waits for them to be written.
  if [ -n "$ram_dir" ]; then
    "$tool" -j "$ram_dir/records.jsonl" -o "$ram_dir/report.txt" "$mft" > /dev/null  # untimed, as above
    if [ -z "$ram_plain" ]; then
      read -r t kib cpu < <(measure "$runs" "$tool" -o RAMREPORT "$mft")
      row "$n" "${prefix}varneth (to /dev/shm)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; ram_plain="$t"
    fi
    read -r t kib cpu < <(measure "$runs" "$tool" -j RAMJSON -o RAMREPORT "$mft")
    row "$n" "${prefix}varneth -j (to /dev/shm)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; ram_json="$t"
    rm -f "$ram_dir/report.txt" "$ram_dir/records.jsonl"
  fi
  local line="$n records${prefix:+ (${prefix%: } volume)}: default $(rate "$n" "$plain")/s"
  line+=", -l $(rate "$n" "$long")/s (>= 1000000); -f $(rate "$n" "$files")/s"
  line+=", -a $(rate "$n" "$streams")/s (>= 2500000); -z/default $(ratio "$zipped" "$plain") (<= 1.50)"
  line+="; -b/default $(ratio "$body" "$plain") (<= 1.25); -j/default $(ratio "$json" "$plain") (<= 2.00)"
  line+=", -j peak $(awk -v k="$json_kib" 'BEGIN { printf "%.1f", k / 1024 }') MiB"
  [ -n "$ram_json" ] && line+=", -j/default in /dev/shm $(ratio "$ram_json" "$ram_plain") (<= 2.00)"
  summary+=("$line")
  plain_of_real="$plain"
}

# The same volume read in place: the image it was extracted from (kept by
# make_real_volume.py) and an EWF image of it (made once with ewfacquire,
# deflated, and kept beside it), against the extracted $MFT's default report
# and against ewfexport, which only unpacks the EWF image.
time_image_runs() {  # size image floor plain
  local n="$1" image="$2" floor="$3" plain="$4" t kib cpu raw ewf_time export_time
  if [ ! -f "$image" ]; then
    echo "real volume image: left out: $image was not kept (remove the cached \$MFT to build both)"
    return 0
  fi
  read -r t kib cpu < <(measure "$runs" "$tool" -o REPORT "$image")
  row "$n" "real: varneth (raw image)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; raw="$t"
  summary+=("$n records (real volume): raw image $(rate "$n" "$raw")/s, $(ratio "$plain" "$raw") of the extracted \$MFT's (>= 0.90)")
  if ! command -v ewfacquire > /dev/null || ! command -v ewfexport > /dev/null; then
    echo "EWF image: left out: ewfacquire and ewfexport (Debian ewf-tools) are needed"
    return 0
  fi
  local stem="${image%.img}"
  if [ ! -f "$stem.E01" ]; then
    ewfacquire -u -q -t "$stem" -c deflate:fast -S 4GiB "$image" > /dev/null 2>&1 || fail "ewfacquire failed"
  fi
  read -r t kib cpu < <(measure "$runs" "$tool" -o REPORT "$stem.E01")
  row "$n" "real: varneth (E01)" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"; ewf_time="$t"
  read -r t kib cpu < <(measure 1 ewfexport -u -q -f raw -t - "$stem.E01")
  row "$n" "real: ewfexport (E01, whole)" "$t" "$kib" "$cpu" "$floor"; export_time="$t"
  summary+=("$n records (real volume): E01 $(rate "$n" "$ewf_time")/s, $(ratio "$ewf_time" "$export_time") of the time ewfexport takes to unpack the whole image")
}

# The $MFT of a real volume with N files, built once and kept for later runs;
# sets real_mft to its path, or leaves it empty and says why.
real_mft=""
find_real_volume() {  # files
  local files="$1" cache
  cache="${input_parent:-$work_parent}/varneth-bench-real-$files.mft"
  if [ -s "$cache" ]; then
    echo "real volume: $cache, built by an earlier run"
    real_mft="$cache"
    return
  fi
  local missing="" program
  [ "$(id -u)" = 0 ] || missing="mounting with ntfs-3g needs root"
  [ -e /dev/fuse ] || missing="${missing:-/dev/fuse is missing}"
  for program in mkntfs ntfs-3g icat fusermount python3; do
    command -v "$program" > /dev/null || missing="${missing:-$program is not installed}"
  done
  if [ -n "$missing" ]; then
    echo "real volume: left out: $missing"
    return
  fi
  python3 "$source_dir/bench/make_real_volume.py" --files "$files" --keep-image "${cache%.mft}.img" \
    "$input_dir" "$cache" || fail "building the real volume failed"
  echo "real volume: kept as $cache for later runs"
  real_mft="$cache"
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
echo "input in $input_dir, reports in $work_dir ($(df -P "$work_dir" | awk 'NR == 2 { print $1 }'))" \
     "${ram_dir:+and $ram_dir}"
if [ "$real_files" -gt 0 ]; then
  find_real_volume "$real_files"
fi
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "|   records | run                            | median s |   records/s | x floor |  cpu | peak MiB |"
echo "|----------:|:-------------------------------|---------:|------------:|--------:|-----:|---------:|"

default_times=()
ram_times=()
plain_of_real=""
for n in ${records//,/ }; do
  mft="$input_dir/bench-$n.mft"
  read -r generated generator_kib generator_cpu < <(measure 1 "$generator" --seed "$seed" "$n" "$mft")
  cat "$mft" > /dev/null  # into the page cache, as for every run after it

  read -r floor kib cpu < <(measure "$runs" cat "$mft")
  row "$n" "make_bench_mft (write)" "$generated" "$generator_kib" "$generator_cpu" "$floor"
  row "$n" "cat (floor)" "$floor" "$kib" "$cpu" "$floor"
  time_target_runs "$n" "$mft" "$floor" ""
  if [ -n "$fsntfsinfo" ] && [ "$reference_runs" -gt 0 ]; then
    read -r t kib cpu < <(measure "$reference_runs" "$fsntfsinfo" -E all "$mft")
    row "$n" "fsntfsinfo -E all" "$t" "$kib" "$cpu" "$floor"
  fi
  if [ "$check" = 1 ]; then
    check_identity "$mft" "$n"
  fi
  rm -f "$mft" "$work_dir"/report-* "$work_dir"/body-* "$work_dir"/json-* "$work_dir"/tool.* "$work_dir"/reference.*
done

if [ "$large_records" -gt 0 ]; then
  n="$large_records"
  mft="$input_dir/bench-$n-4096.mft"
  read -r generated generator_kib generator_cpu < <(measure 1 "$generator" --seed "$seed" --record-size 4096 "$n" "$mft")
  cat "$mft" > /dev/null
  read -r floor kib cpu < <(measure "$runs" cat "$mft")
  row "$n" "cat (floor), 4096 B" "$floor" "$kib" "$cpu" "$floor"
  read -r t kib cpu < <(measure "$runs" "$tool" -o REPORT "$mft")
  row "$n" "varneth, 4096 B" "$t" "$kib" "$cpu" "$floor"; note_peak "$kib"
  rm -f "$mft" "$work_dir"/report-*
fi

if [ -n "$real_mft" ]; then
  n=$(($(stat -c %s "$real_mft") / 1024))
  cat "$real_mft" > /dev/null
  read -r floor kib cpu < <(measure "$runs" cat "$real_mft")
  row "$n" "real: cat (floor)" "$floor" "$kib" "$cpu" "$floor"
  time_target_runs "$n" "$real_mft" "$floor" "real: "
  if [ "$check" = 1 ]; then
    check_identity "$real_mft" "$n"
  fi
  time_image_runs "$n" "${real_mft%.mft}.img" "$floor" "$plain_of_real"
  rm -f "$work_dir"/tool.* "$work_dir"/reference.*
  rm -f "$work_dir"/report-* "$work_dir"/body-* "$work_dir"/json-*
fi

echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "targets (now, then the target in brackets):"
printf '%s\n' "${summary[@]}"
growth() {  # label, target (1 to print one), then "records seconds" lines, smallest size first
  local label="$1" target="$2"; shift 2
  printf '%s\n' "$@" | awk -v label="$label" -v target="$target" '
    NR == 1 { n1 = $1; t1 = $2 }
    END {
      printf "%s: %d records take %.2f times as long as %d", label, $1, $2 / t1, n1
      if (target) printf " (<= %.2f)", 1.1 * $1 / n1
      printf "\n"
    }'
}
if [ "${#ram_times[@]}" -ge 2 ]; then
  growth "default report in /dev/shm" 1 "${ram_times[@]}"
fi
if [ "${#default_times[@]}" -ge 2 ]; then
  growth "default report on the disk" 0 "${default_times[@]}"
fi
echo "highest peak of varneth: $(awk -v k="$highest_peak" 'BEGIN { printf "%.1f", k / 1024 }') MiB (<= 64)"
