#!/usr/bin/env bash
# Installs what is missing, builds (Release) and starts Quillmar on the bundled sample register.
# The sample register (data/sample) is built into the program's database folder the first time,
# with the developer tool: `qmtool build`. An existing database there is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)"

# The program folder, as the program chooses it: QUILLMAR_APPDIR, else the executable's folder
# when it is writable, else the per-user data folder.
if [[ -n "${QUILLMAR_APPDIR:-}" ]]; then
  appdir="$QUILLMAR_APPDIR"
elif [[ -w build/bin ]]; then
  appdir="build/bin"
else
  appdir="$HOME/.local/share/Quillmar/Quillmar"
fi
dbdir="$appdir/DB"
if [[ ! -f "$dbdir/acis.db" ]]; then
  echo "Building the sample register into $dbdir ..."
  mkdir -p "$dbdir"
  build/bin/qmtool build --db "$dbdir" --masters data/sample/masters --source 2 \
    --kihon data/sample/mirror/kihon.csv --tekiyo data/sample/mirror/tekiyo.csv \
    --date "2026年11月4日反映" --quiet
fi
# Sample SQL templates for the template tab (定型処理), when the program folder has none yet.
if [[ ! -d "$appdir/Template" ]]; then
  mkdir -p "$appdir/Template"
  cp data/templates/*.tpl "$appdir/Template/"
fi
exec build/bin/quillmar "$@"
