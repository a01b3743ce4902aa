#!/bin/sh
# quor beside the tools a user could pick instead, on the same generated input, in one invocation:
# quor encode (on every processor, and with one encoding thread), quor decode of its output, the same
# records written and read as a V file (each behind its RDW) and the V decode's time beside the fixed one,
# iconv -f UTF-8 -t CP932 over the same file (one pass of a code page conversion), and a Python
# standard-library converter (bench/python_converter.py, a baseline). For each: wall and CPU seconds,
# records a second, peak RSS, and the ratios to iconv and to Python; each the median of RUNS runs
# (by wall time), Python's of one.
#
# Usage: bench/compare.sh [N ...]            (default: 1000000 5000000)
#        bench/compare.sh --profile          (instructions a record by function, callgrind, 200000 records)
#        bench/compare.sh --hosts [N]        (the typed benchmark layout, bench/records.layout, encoded and
#                                             decoded on --host fujitsu and --host ibm-930; default 5000000)
# Environment: QUOR (default build/release/cli/quor), BENCH_DIR (default ${TMPDIR:-/tmp}/quor-bench),
#              PYTHON_RECORDS (the largest N Python is run on, default 1000000: it is slow),
#              RUNS (default 5).
set -eu

here=$(dirname "$0")
QUOR=${QUOR:-build/release/cli/quor}
BENCH_DIR=${BENCH_DIR:-${TMPDIR:-/tmp}/quor-bench}
PYTHON_RECORDS=${PYTHON_RECORDS:-1000000}
RUNS=${RUNS:-5}
LAYOUT="--lengths 8,20,10,7,11,8 --formats 1,1,2,0,3,0"

[ -x "$QUOR" ] || { echo "no quor binary at $QUOR (build it, or set QUOR)" >&2; exit 1; }
if [ ! -x /usr/bin/time ] || ! command -v python3 >/dev/null; then
  "$here/../scripts/ensure-packages" time python3
fi
mkdir -p "$BENCH_DIR"

# The median wall seconds of RUNS runs of a command, its output OUT removed before each. Usage:
# measure_hosts OUT command...
measure_hosts() {
  out=$1
  shift
  for _ in $(seq "$RUNS"); do
    rm -f "$out"
    /usr/bin/time -f "%e" "$@" 2>&1 >/dev/null | tail -n 1
  done | sort -n | sed -n "$(((RUNS + 1) / 2))p"
}

data_for() {
  file="$BENCH_DIR/records-$1.csv"
  [ -s "$file" ] || python3 "$here/generate_records.py" "$1" "$file"
  echo "$file"
}

if [ "${1:-}" = "--profile" ]; then
  command -v valgrind >/dev/null || { echo "valgrind is needed for --profile" >&2; exit 1; }
  records=200000
  input=$(data_for "$records")
  out="$BENCH_DIR/callgrind.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" "$QUOR" encode -q --threads 1 $LAYOUT \
    -o "$BENCH_DIR/out.dat" "$input" 2>/dev/null
  echo "instructions a record by function, its own only ($records records, one encoding thread; the"
  echo "kernel's copies not counted; the tables are made once a run):"
  callgrind_annotate "$out" 2>/dev/null | awk -v n="$records" '
    /PROGRAM TOTALS/ { gsub(",", "", $1); total = $1 }
    $1 ~ /^[0-9,]+$/ && $2 ~ /^\(/ && !/PROGRAM TOTALS/ {
      c = $1; gsub(",", "", c); if (c / total < 0.01) next
      name = $0; sub(/^[^?]*\?\?\?:/, "", name); sub(/^.*multiarch\//, "libc ", name); sub(/\(.*/, "", name); sub(/ \[.*$/, "", name); sub(/-vec-unaligned-erms.S:.*/, "", name)
      printf "  %8.0f  %5.1f%%  %s\n", c / n, 100 * c / total, name
    }
    END { printf "  %8.0f  100.0%%  whole run\n", total / n }'
  exit 0
fi

if [ "${1:-}" = "--hosts" ]; then
  records=${2:-5000000}
  input=$(data_for "$records")
  echo "$records records of the typed benchmark layout (bench/records.layout), UTF-8; median of $RUNS runs"
  printf "%-10s %12s %12s %12s %12s\n" "host" "encode s" "records/s" "decode s" "records/s"
  for host in fujitsu ibm-930; do
    encode=$(measure_hosts "$BENCH_DIR/host.dat" "$QUOR" encode -q --layout "$here/records.layout" --host "$host" \
      -o "$BENCH_DIR/host.dat" "$input")
    "$QUOR" encode -q --layout "$here/records.layout" --host "$host" -o "$BENCH_DIR/host.dat" "$input"
    decode=$(measure_hosts "$BENCH_DIR/host.csv" "$QUOR" decode -q --layout "$here/records.layout" --host "$host" \
      -o "$BENCH_DIR/host.csv" "$BENCH_DIR/host.dat")
    cmp -s "$input" "$BENCH_DIR/host.csv" || echo "(decode on $host does not give the input back!)"
    printf "%-10s %12s %12.0f %12s %12.0f\n" "$host" "$encode" "$(echo "$records / $encode" | bc -l)" "$decode" \
      "$(echo "$records / $decode" | bc -l)"
  done
  rm -f "$BENCH_DIR/host.dat" "$BENCH_DIR/host.csv"
  exit 0
fi

# Runs a command under GNU time after removing its output OUT, so each run writes a new file rather
# than also pay for freeing the last run's; prints "wall cpu rss_kb". Usage: measure_once OUT command...
measure_once() {
  rm -f "$1"
  shift
  /usr/bin/time -f "%e %U %S %M" "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }'
}

# The run of median wall time of RUNS runs. Usage: measure OUT command...
measure() {
  for _ in $(seq "$RUNS"); do measure_once "$@"; done | sort -n | sed -n "$(((RUNS + 1) / 2))p"
}

echo "$(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "input: the benchmark layout (8,20,10,7,11,8 / 1,1,2,0,3,0), UTF-8, generated in $BENCH_DIR"
echo "each figure the median of $RUNS runs by wall time (Python: one run); each run writes a new file in $BENCH_DIR"
for n in ${*:-1000000 5000000}; do
  input=$(data_for "$n")
  echo
  echo "$n records, $(wc -c <"$input") bytes of UTF-8"
  printf "%-34s %8s %8s %12s %9s %9s %9s\n" "command" "wall s" "CPU s" "records/s" "peak RSS" "vs iconv" "vs Python"
  iconv=$(measure "$BENCH_DIR/out.cp932" sh -c "iconv -f UTF-8 -t CP932 '$input' > '$BENCH_DIR/out.cp932'")
  python=""
  if [ "$n" -le "$PYTHON_RECORDS" ]; then
    python=$(measure_once "$BENCH_DIR/out.py.dat" python3 "$here/python_converter.py" "$input" "$BENCH_DIR/out.py.dat")
  fi
  encode=$(measure "$BENCH_DIR/out.dat" "$QUOR" encode -q $LAYOUT -o "$BENCH_DIR/out.dat" "$input")
  encode1=$(measure "$BENCH_DIR/out1.dat" "$QUOR" encode -q --threads 1 $LAYOUT -o "$BENCH_DIR/out1.dat" "$input")
  decode=$(measure "$BENCH_DIR/back.csv" "$QUOR" decode -q $LAYOUT -o "$BENCH_DIR/back.csv" "$BENCH_DIR/out.dat")
  # The same records as a V file, each behind its RDW, read back the same way.
  encodeV=$(measure "$BENCH_DIR/out-v.dat" "$QUOR" encode -q --recfm V $LAYOUT -o "$BENCH_DIR/out-v.dat" "$input")
  decodeV=$(measure "$BENCH_DIR/back-v.csv" "$QUOR" decode -q --recfm V $LAYOUT -o "$BENCH_DIR/back-v.csv" "$BENCH_DIR/out-v.dat")
  cmp -s "$input" "$BENCH_DIR/back-v.csv" || echo "(decode of the V file does not give the input back!)"
  cmp -s "$BENCH_DIR/out.dat" "$BENCH_DIR/out1.dat" || echo "(the one-thread output differs!)"
  [ -z "$python" ] || cmp -s "$BENCH_DIR/out.dat" "$BENCH_DIR/out.py.dat" || echo "(the Python output differs!)"
  cmp -s "$input" "$BENCH_DIR/back.csv" || echo "(decode does not give the input back!)"
  iconvWall=$(echo "$iconv" | cut -d' ' -f1)
  pythonWall=$(echo "$python" | cut -d' ' -f1)
  for row in "quor encode|$encode" "quor encode --threads 1|$encode1" "quor decode|$decode" \
    "quor encode --recfm V|$encodeV" "quor decode --recfm V|$decodeV" \
    "iconv -f UTF-8 -t CP932|$iconv" "python_converter.py|$python"; do
    name=${row%%|*}
    stats=${row#*|}
    [ -n "$stats" ] || continue
    echo "$stats" | awk -v name="$name" -v n="$n" -v iconv="$iconvWall" -v python="$pythonWall" '{
      vsPython = python == "" ? "-" : sprintf("%.1fx", python / $1)
      printf "%-34s %8.2f %8.2f %12.0f %6.1f MB %8.2fx %9s\n", name, $1, $2, n / $1, $3 / 1024, iconv / $1, vsPython }'
  done
  echo "$decode $decodeV" | awk '{ printf "decode of the V file: %.2f times the wall time of the fixed file'"'"'s\n", $4 / $1 }'
done
rm -f "$BENCH_DIR"/out*.dat "$BENCH_DIR/out.cp932" "$BENCH_DIR/back.csv" "$BENCH_DIR/back-v.csv"
