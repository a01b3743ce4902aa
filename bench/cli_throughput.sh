#!/bin/sh
# Throughput and memory of `quor encode` end to end: input read, decoded, built, written.
#
# Usage: bench/cli_throughput.sh [N ...]            (default: 1000000 5000000)
#        bench/cli_throughput.sh --profile          (where the instructions go, on 20000 records)
# Environment: QUOR (default build-cli/cli/quor), BENCH_DIR (default ${TMPDIR:-/tmp}/quor-cli-bench).
#
# The records follow the examples' layout: code, half-width kana name, kanji name, quantity, signed
# amount, date; lengths 8,20,10,7,11,8, formats 1,1,2,0,3,0. Each N is generated once and kept in
# BENCH_DIR. Peak memory comes from GNU time (the `time` package, installed when missing).
set -eu

QUOR=${QUOR:-build-cli/cli/quor}
BENCH_DIR=${BENCH_DIR:-${TMPDIR:-/tmp}/quor-cli-bench}
LENGTHS=8,20,10,7,11,8
FORMATS=1,1,2,0,3,0

[ -x "$QUOR" ] || { echo "no quor binary at $QUOR (build it, or set QUOR)" >&2; exit 1; }
if [ ! -x /usr/bin/time ]; then
  apt-get install -y time >/dev/null || { echo "GNU time is needed: apt-get install time" >&2; exit 1; }
fi
mkdir -p "$BENCH_DIR"

# N records, the same for every run with the same N.
generate() {
  python3 - "$1" "$2" <<'PY'
import random, sys
n, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(20240131)
kana = "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝﾞ"
kanji = "山田太郎鈴木花子佐藤一高橋美穂渡辺健伊恵中村翔小林結加武吉彩本次松奈央井上拓也"
kanaNames = [''.join(rng.choice(kana) for _ in range(rng.randint(3, 7))) + ' ' +
             ''.join(rng.choice(kana) for _ in range(rng.randint(2, 6))) for _ in range(4096)]
kanjiNames = [''.join(rng.choice(kanji) for _ in range(rng.randint(2, 5))) for _ in range(4096)]
with open(path, 'w', encoding='utf-8', newline='\n') as out:
    lines = []
    for i in range(n):
        lines.append('%c%07d,%s,%s,%d,%d,2024%02d%02d\n' % (
            'ABCD'[i % 4], i % 10000000, kanaNames[rng.getrandbits(12)], kanjiNames[rng.getrandbits(12)],
            rng.randrange(10000000), rng.randrange(-99999999999, 99999999999), 1 + i % 12, 1 + i % 28))
        if len(lines) == 65536:
            out.write(''.join(lines))
            lines.clear()
    out.write(''.join(lines))
PY
}

data_for() {
  file="$BENCH_DIR/records-$1.csv"
  [ -s "$file" ] || generate "$1" "$file"
  echo "$file"
}

if [ "${1:-}" = "--profile" ]; then
  command -v valgrind >/dev/null || { echo "valgrind is needed for --profile" >&2; exit 1; }
  input=$(data_for 20000)
  out="$BENCH_DIR/callgrind.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" "$QUOR" encode -q --lengths $LENGTHS \
    --formats $FORMATS -o "$BENCH_DIR/out.dat" "$input" 2>/dev/null
  echo "instructions per record, inclusive (20000 records):"
  callgrind_annotate --inclusive=yes "$out" 2>/dev/null | awk '
    /PROGRAM TOTALS/ { gsub(",", "", $1); total = $1 }
    /RecordBuilder::append\(|quor::decodeUtf8|RecordEncoder::encodeLine|OutputSink::|LineReader::next|formatField|exactNumberText|isNumeric|commaListItems|appendEbcdicKana|appendJef|appendZoned|appendPacked/ {
      n = $1; gsub(",", "", n); name = $0; sub(/.*\?\?\?:/, "", name); sub(/\(.*/, "", name)
      if (!(name in seen)) { seen[name] = 1; printf "  %8.0f  %5.1f%%  %s\n", n / 20000, 100 * n / total, name }
    }
    END { printf "  %8.0f  100.0%%  whole run\n", total / 20000 }'
  exit 0
fi

echo "$(nproc) processors; input: the examples' layout, UTF-8, generated in $BENCH_DIR"
echo "records      seconds  user+sys  records/s  peak RSS"
for n in "${@:-1000000 5000000}"; do
  for count in $n; do
    input=$(data_for "$count")
    stats=$(/usr/bin/time -f "%e %U %S %M" "$QUOR" encode -q --lengths $LENGTHS --formats $FORMATS \
      -o "$BENCH_DIR/out.dat" "$input" 2>&1 >/dev/null | tail -1)
    set -- $stats
    awk -v n="$count" -v e="$1" -v u="$2" -v s="$3" -v m="$4" 'BEGIN {
      printf "%-12d %7.2f  %8.2f  %9.0f  %6.1f MB\n", n, e, u + s, n / e, m / 1024 }'
    rm -f "$BENCH_DIR/out.dat"
  done
done
