#!/bin/bash
# Unattended update benchmark: `quillmar /u` end to end (public service's CSV archives fetched
# from a loopback server, unpacked, built into acis.db) on the full-size sample register,
# beside the sum of its floors measured in the same run, interleaved; together they do the
# work "/u" does:
#   fetch   curl of the CSV page, the three archives and the eighteen master scripts
#   unpack  unzip of the three archives
#   build   iconv -f CP932 | sqlite3 ".import --csv" of the three CSV files, the eighteen
#           master scripts run by sqlite3 (one transaction each, spec.db attached), the
#           ingredient table taken out of the basics, and the build's seven indexes of the
#           register (products by number and trade name, ingredients by number and common
#           name, uses by number and crop, and the crop and product pairs of the uses)
# Each figure is the median of RUNS runs (default 5); peak memory is the program's largest
# resident set.
#
#   bench/bench_update.sh [RELEASE_BUILD_DIR] [DATA_DIR]
#
# RELEASE_BUILD_DIR defaults to build-rel (configure with -DCMAKE_BUILD_TYPE=Release and build
# the quillmar target); DATA_DIR defaults to RELEASE_BUILD_DIR/data-full, generated on demand.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-rel}
DATA=${2:-$BUILD/data-full}
RUNS=${RUNS:-5}
QUILLMAR=$BUILD/bin/quillmar
[ -x "$QUILLMAR" ] || { echo "no $QUILLMAR: cmake --build $BUILD --target quillmar" >&2; exit 2; }
if [ ! -d "$DATA/public" ]; then
  /usr/bin/python3 "$ROOT/tools/gen_sample/gen_sample.py" --out "$DATA" --size full >/dev/null
fi
WORK=$(mktemp -d)
SERVER_PID=
cleanup() {
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

now() { date +%s.%N; }
secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The site: the public service's CSV page and archives, the mirror's master scripts.
SITE=$WORK/site
mkdir -p "$SITE/ddata/datacsv" "$SITE/data"
cp "$DATA/public/update2.htm" "$SITE/ddata/index2.htm"
cp "$DATA"/public/*.zip "$SITE/ddata/datacsv/"
cp "$DATA"/masters/* "$SITE/data/"
/usr/bin/python3 "$ROOT/tests/update/http_test_server.py" --root "$SITE" > "$WORK/port" &
SERVER_PID=$!
for _ in $(seq 50); do grep -q PORT "$WORK/port" 2>/dev/null && break; sleep 0.1; done
BASE="http://127.0.0.1:$(awk '/PORT/ { print $2 }' "$WORK/port")"
ARCHIVES=()
QUOTED=()
for z in "$DATA"/public/*.zip; do
  ARCHIVES+=("$(basename "$z")")
  QUOTED+=("$(/usr/bin/python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$(basename "$z")")")
done
MASTERS=()
for m in "$DATA"/masters/*.txt; do MASTERS+=("$(basename "$m")"); done
echo "data: $DATA ($(du -ch "$DATA"/public/*.zip | tail -1 | cut -f1) of archives, ${#MASTERS[@]} master scripts), server $BASE, $RUNS runs"

# Floors.
floor_fetch() {
  local d=$WORK/fetch; rm -rf "$d"; mkdir -p "$d"
  local t0; t0=$(now)
  curl -s -o "$d/update2.htm" "$BASE/ddata/index2.htm"
  local i
  for i in "${!ARCHIVES[@]}"; do curl -s -o "$d/${ARCHIVES[$i]}" "$BASE/ddata/datacsv/${QUOTED[$i]}"; done
  local m
  for m in "${MASTERS[@]}"; do curl -s -o "$d/$m" "$BASE/data/$m"; done
  secs "$t0" "$(now)"
}
floor_unpack() {
  local d=$WORK/fetch
  local t0; t0=$(now)
  for a in "${ARCHIVES[@]}"; do unzip -qo "$d/$a" -d "$d/out"; done
  secs "$t0" "$(now)"
}
floor_build() {
  local db=$WORK/floor.db spec=$WORK/floor-spec.db; rm -f "$db" "$spec"
  local kcols tcols i
  kcols=$(for i in $(seq 0 10); do printf 'c%d,' "$i"; done); kcols=${kcols%,}
  tcols=$(for i in $(seq 0 25); do printf 'c%d,' "$i"; done); tcols=${tcols%,}
  sqlite3 "$db" "CREATE TABLE kihon ($kcols); CREATE TABLE tekiyo ($tcols);"
  local t0; t0=$(now)
  for f in "$DATA"/public/登録基本部_*.csv; do
    iconv -f CP932 -t UTF-8 "$f" | sqlite3 "$db" ".import --csv --skip 1 /dev/stdin kihon" 2>/dev/null
  done
  for f in "$DATA"/public/登録適用部*_*.csv; do
    iconv -f CP932 -t UTF-8 "$f" | sqlite3 "$db" ".import --csv --skip 1 /dev/stdin tekiyo" 2>/dev/null
  done
  local m
  for m in "${MASTERS[@]}"; do
    {
      printf "ATTACH '%s' AS spec;\nBEGIN;\n" "$spec"
      case "$m" in
        *.utf8.txt) cat "$WORK/fetch/$m" ;;
        *) iconv -f CP932 -t UTF-8 "$WORK/fetch/$m" ;;
      esac
      printf '\nCOMMIT;\n'
    } | sqlite3 "$db" >/dev/null
  done
  sqlite3 "$db" "CREATE TABLE seibun AS SELECT c0 AS bango, c4 AS ippanmei, c6 AS nodo, c5 AS seibun FROM kihon ORDER BY c0;
                 CREATE INDEX i1 ON kihon (c0); CREATE INDEX i2 ON kihon (c2);
                 CREATE INDEX i3 ON seibun (bango); CREATE INDEX i4 ON seibun (ippanmei);
                 CREATE INDEX i5 ON tekiyo (c0); CREATE INDEX i6 ON tekiyo (c5);
                 CREATE INDEX i7 ON tekiyo (c5, c0) WHERE c0 IS NOT NULL;"
  secs "$t0" "$(now)"
}

# Ours: a fresh program folder, "/u", its peak resident set from the kernel's accounting.
ours() {
  local app=$WORK/app; rm -rf "$app"; mkdir -p "$app"
  printf '[NET]\nDownSite=0\n' > "$app/quillmar.ini"
  QT_QPA_PLATFORM=offscreen QUILLMAR_APPDIR="$app" QUILLMAR_INSTANCE_NAME="qm-bench-$$" \
    QUILLMAR_ACIS_BASE="$BASE" QUILLMAR_MIRROR_BASE="$BASE" \
    /usr/bin/python3 - "$QUILLMAR" <<'EOF'
import resource, subprocess, sys, time
t0 = time.monotonic()
code = subprocess.call([sys.argv[1], "/u"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
secs = time.monotonic() - t0
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print("%.3f %.0f %d" % (secs, peak, code))
EOF
}

: > "$WORK/fetch.t"; : > "$WORK/unpack.t"; : > "$WORK/build.t"; : > "$WORK/sum.t"; : > "$WORK/ours.t"; : > "$WORK/peak.t"
for run in $(seq "$RUNS"); do
  f=$(floor_fetch); u=$(floor_unpack); b=$(floor_build)
  echo "$f" >> "$WORK/fetch.t"; echo "$u" >> "$WORK/unpack.t"; echo "$b" >> "$WORK/build.t"
  awk -v f="$f" -v u="$u" -v b="$b" 'BEGIN { printf "%.3f\n", f + u + b }' >> "$WORK/sum.t"
  read -r s p code < <(ours)
  if [ "$code" != 1 ]; then
    echo "run $run: quillmar /u exited with $code (1 expected)" >&2
    exit 1
  fi
  echo "$s" >> "$WORK/ours.t"; echo "$p" >> "$WORK/peak.t"
  echo "   run $run: floors fetch $f s, unpack $u s, build $b s; /u $s s, peak $p MB"
done
SUM=$(median < "$WORK/sum.t")
OURS=$(median < "$WORK/ours.t")
PEAK=$(sort -g "$WORK/peak.t" | tail -1)
printf '== median of %d runs\n' "$RUNS"
printf '   floor fetch  %8.3f s\n   floor unpack %8.3f s\n   floor build  %8.3f s\n' \
  "$(median < "$WORK/fetch.t")" "$(median < "$WORK/unpack.t")" "$(median < "$WORK/build.t")"
printf '   floor sum    %8.3f s\n   quillmar /u  %8.3f s   ratio %s (goal <= 1.3)\n' "$SUM" "$OURS" \
  "$(awk -v a="$OURS" -v b="$SUM" 'BEGIN { printf "%.2f", a / b }')"
printf '   peak memory  %s MB (goal < 300)\n' "$PEAK"
