#!/usr/bin/env bash
# Lays out the sample register (data/sample) as a shared folder, the way another copy of
# Quillmar leaves its download folder: the public service's pages and CSV archives, the
# spreadsheet archives (all under ".zip" names), the mirror's CSV set and the master scripts.
# Point the update at it to try an update without a network:
#
#   bash tools/sample_share.sh /tmp/quillmar-share
#   quillmar.ini:  [NET] UseLAN=1  DownSite=0 (or 1, 2)   [PATH] dirLAN=/tmp/quillmar-share
#
# then "データ更新" (Ctrl+Y) and "自動更新" in the update window, or `quillmar /u`.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 FOLDER" >&2; exit 2; }
cd "$(dirname "$0")/.."
out=$1
mkdir -p "$out"
cp data/sample/public/update2.htm data/sample/public/update.htm data/sample/public/*.zip "$out/"
for f in data/sample/grid/*.zip data/sample/grid/*.lzh; do
  base=$(basename "$f")
  cp "$f" "$out/${base%.*}.zip"
done
cp data/sample/mirror/toroku.zip data/sample/mirror/update.txt "$out/"
cp data/sample/masters/* "$out/"
echo "shared folder ready: $out"
