#!/bin/bash
# Database build benchmark: `qmtool build` on the full-size sample register for each source
# (public CSV, mirror CSV, spreadsheet rows; the .xls workbooks too when the set has them), step
# by step, beside the floor measured in the same run, which does the same work the build does
# with the plain tools:
#   import   the same files through `iconv -f CP932 -t UTF-8 | sqlite3 ".import --csv"` into
#            plain tables (the floor import, compared with the build's import steps);
#   masters  the eighteen master scripts run by sqlite3 into the main database and a spec
#            database attached as "spec", one transaction each (the build runs them too);
#   tables   the ingredient table taken out of the basics as the build makes it;
#   indexes  the build's seven indexes of the register: the products by number and by trade
#            name, the ingredients by number and by common name, the uses by number and by
#            crop, and the crop and product pairs of the uses.
# The floor total is the sum of the four and is compared with the build's total.
#
#   bench/bench_build.sh [--scaling] [RELEASE_BUILD_DIR] [DATA_DIR]
#
# RELEASE_BUILD_DIR defaults to build-rel (configure it with -DCMAKE_BUILD_TYPE=Release
# and build the qmtool target); DATA_DIR defaults to RELEASE_BUILD_DIR/data-full and is
# generated on demand. --scaling also builds 25,000, 100,000 and 500,000 use rows (source 2).
set -euo pipefail

SCALING=0
if [ "${1:-}" = "--scaling" ]; then SCALING=1; shift; fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-rel}
DATA=${2:-$BUILD/data-full}
QMTOOL=$BUILD/bin/qmtool
GEN=$ROOT/tools/gen_sample/gen_sample.py
[ -x "$QMTOOL" ] || { echo "no $QMTOOL: cmake --build $BUILD --target qmtool" >&2; exit 2; }
if [ ! -d "$DATA/public" ]; then
  /usr/bin/python3 "$GEN" --out "$DATA" --size full >/dev/null
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

now() { date +%s.%N; }
secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# The master scripts as the build runs them: each in one transaction, with spec.db attached.
floor_masters() {  # floor_masters DB SPEC_DB
  local db=$1 spec=$2 f
  for f in "$DATA"/masters/*.txt; do
    {
      printf "ATTACH '%s' AS spec;\nBEGIN;\n" "$spec"
      case "$f" in
        *.utf8.txt) cat "$f" ;;
        *) iconv -f CP932 -t UTF-8 "$f" ;;
      esac
      printf '\nCOMMIT;\n'
    } | sqlite3 "$db" >/dev/null
  done
}

# Floor: plain tables of positional columns, one import per file, the master scripts, the
# ingredient table, then the seven indexes.
floor() {  # floor NAME KIHON TEKIYO...
  local name=$1 kihon=$2; shift 2
  local db=$WORK/floor-$name.db
  rm -f "$db" "$WORK/floor-$name-spec.db"
  local kcols tcols i
  kcols=$(for i in $(seq 0 10); do printf 'c%d,' "$i"; done); kcols=${kcols%,}
  tcols=$(for i in $(seq 0 25); do printf 'c%d,' "$i"; done); tcols=${tcols%,}
  sqlite3 "$db" "CREATE TABLE kihon ($kcols); CREATE TABLE tekiyo ($tcols);"
  local t0 t1 t2
  t0=$(now)
  iconv -f "$FLOOR_ENC" -t UTF-8 "$kihon" | sqlite3 "$db" ".import --csv --skip 1 /dev/stdin kihon" 2>/dev/null
  for f in "$@"; do
    iconv -f "$FLOOR_ENC" -t UTF-8 "$f" | sqlite3 "$db" ".import --csv --skip 1 /dev/stdin tekiyo" 2>/dev/null
  done
  t1=$(now)
  floor_masters "$db" "$WORK/floor-$name-spec.db"
  sqlite3 "$db" "CREATE TABLE seibun AS SELECT c0 AS bango, c4 AS ippanmei, c6 AS nodo, c5 AS seibun FROM kihon ORDER BY c0;
                 CREATE INDEX i1 ON kihon (c0); CREATE INDEX i2 ON kihon (c2);
                 CREATE INDEX i3 ON seibun (bango); CREATE INDEX i4 ON seibun (ippanmei);
                 CREATE INDEX i5 ON tekiyo (c0); CREATE INDEX i6 ON tekiyo (c5);
                 CREATE INDEX i7 ON tekiyo (c5, c0) WHERE c0 IS NOT NULL;"
  t2=$(now)
  FLOOR_IMPORT=$(secs "$t0" "$t1")
  FLOOR_TOTAL=$(secs "$t0" "$t2")
}

ours() {  # ours NAME SOURCE KIHON TEKIYO...
  local name=$1 source=$2 kihon=$3; shift 3
  local db=$WORK/db-$name
  rm -rf "$db"; mkdir -p "$db"
  local args=(build --db "$db" --masters "$DATA/masters" --source "$source" --kihon "$kihon" --times --quiet)
  for f in "$@"; do args+=(--tekiyo "$f"); done
  /usr/bin/time -f "peakkb %M" -o "$WORK/time-$name" "$QMTOOL" "${args[@]}" >"$WORK/out-$name"
  OURS_IMPORT=$(awk '/^time import/ { s += $(NF-1) } END { printf "%.3f", s }' "$WORK/out-$name")
  OURS_TOTAL=$(awk '/^time total/ { print $(NF-1) }' "$WORK/out-$name")
  PEAK_MB=$(awk '/peakkb/ { printf "%.0f", $2 / 1024 }' "$WORK/time-$name")
}

report() {  # report NAME
  echo "== $1"
  grep -E '^(time|kihon:)' "$WORK/out-$1" | sed 's/^/   /'
  printf '   floor import %8.3f s   ours %8.3f s   ratio %s (goal <= 1.3)\n' "$FLOOR_IMPORT" "$OURS_IMPORT" \
    "$(ratio "$OURS_IMPORT" "$FLOOR_IMPORT")"
  printf '   floor total  %8.3f s   ours %8.3f s   ratio %s (goal <= 2.0; import, masters, tables, 7 indexes)\n' "$FLOOR_TOTAL" "$OURS_TOTAL" \
    "$(ratio "$OURS_TOTAL" "$FLOOR_TOTAL")"
  printf '   peak memory  %s MB (goal < 300)\n' "$PEAK_MB"
}

shopt -s nullglob
PUB_K=("$DATA"/public/登録基本部_*.csv)
PUB_T=("$DATA"/public/登録適用部*_*.csv)
echo "data: $DATA ($(wc -l < "$DATA/mirror/tekiyo.csv") mirror use lines)"

FLOOR_ENC=CP932
floor public "${PUB_K[0]}" "${PUB_T[@]}"
ours public 0 "${PUB_K[0]}" "${PUB_T[@]}"
report public

floor mirror "$DATA/mirror/kihon.csv" "$DATA/mirror/tekiyo.csv"
ours mirror 2 "$DATA/mirror/kihon.csv" "$DATA/mirror/tekiyo.csv"
report mirror

# Spreadsheet rows (source 1): the sheets as the generator saves them (UTF-8 CSV), and the
# workbooks themselves when the set was generated with --xls (read through the spreadsheet
# reader; the floor stays the import of the same rows as CSV).
GRID=("$DATA/grid/登録適用部一" "$DATA/grid/登録適用部二" "$DATA/grid/登録適用部三" "$DATA/grid/登録適用部四")
FLOOR_ENC=UTF-8
floor grid "$DATA/grid/登録基本部.csv" "${GRID[@]/%/.csv}"
ours grid 1 "$DATA/grid/登録基本部.csv" "${GRID[@]/%/.csv}"
report grid
if [ -f "$DATA/grid/登録基本部.xls" ]; then
  ours xls 1 "$DATA/grid/登録基本部.xls" "${GRID[@]/%/.xls}"
  report xls
fi
FLOOR_ENC=CP932

if [ "$SCALING" = 1 ]; then
  echo "== scaling (source 2)"
  for uses in 25000 100000 500000; do
    d=$WORK/data-$uses
    # About 34 use rows per product, as in the full-size set.
    /usr/bin/python3 "$GEN" --out "$d" --size full --uses "$uses" --products $((uses / 34)) >/dev/null
    floor "s$uses" "$d/mirror/kihon.csv" "$d/mirror/tekiyo.csv"
    ours "s$uses" 2 "$d/mirror/kihon.csv" "$d/mirror/tekiyo.csv"
    printf '   %7d uses: ours %8.3f s  floor %8.3f s  ratio %s  peak %s MB\n' "$uses" "$OURS_TOTAL" "$FLOOR_TOTAL" \
      "$(ratio "$OURS_TOTAL" "$FLOOR_TOTAL")" "$PEAK_MB"
  done
fi
