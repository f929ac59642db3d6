#!/usr/bin/env bash
# Rebuilds the .xls fixtures (LibreOffice from tools/setup.sh --bench):
#   xls_biff8.xls          LibreOffice's "MS Excel 97" filter (BIFF8, "Workbook" stream) from
#                          the flat ODF workbook that make_xls_source.py writes
#   xls_expected.tsv       the cells it must hold
#   xls_biff5.xls          the same cells as an Excel 5.0/95 workbook (BIFF5, "Book" stream,
#                          code page 932) from make_biff5.py, since LibreOffice writes no BIFF5
#                          any more; LibreOffice reads it back below as the independent check
#   xls_expected_biff5.tsv its cells (the record-spanning long texts are BIFF8 only)
# The results are committed, so the tests never need LibreOffice.
set -euo pipefail
export PYTHONDONTWRITEBYTECODE=1
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A private profile (never meets a running LibreOffice) that recalculates formulas on load.
mkdir -p "$work/profile/user"
cat > "$work/profile/user/registrymodifications.xcu" <<'XCU'
<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="ODFRecalcMode" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
XCU
soffice_() { soffice -env:UserInstallation="file://$work/profile" --headless "$@" >/dev/null 2>&1; }
csv_all_sheets='csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'

python3 "$here/make_xls_source.py" "$work/xls_source.fods" "$here/xls_expected.tsv"
soffice_ --convert-to "xls:MS Excel 97" --outdir "$work" "$work/xls_source.fods"
cp "$work/xls_source.xls" "$here/xls_biff8.xls"

python3 "$here/make_biff5.py" "$here/xls_biff5.xls" "$here/xls_expected_biff5.tsv"

# LibreOffice reads both files back: every expected cell must be there.
mkdir -p "$work/check"
cp "$here/xls_biff8.xls" "$here/xls_biff5.xls" "$work/check/"
soffice_ --convert-to "$csv_all_sheets" --outdir "$work/check" "$work/check/xls_biff8.xls"
soffice_ --convert-to "$csv_all_sheets" --outdir "$work/check" "$work/check/xls_biff5.xls"
python3 "$here/check_with_libreoffice.py" "$here/xls_expected.tsv" "$work/check/xls_biff8"
python3 "$here/check_with_libreoffice.py" "$here/xls_expected_biff5.tsv" "$work/check/xls_biff5"
ls -l "$here"/xls_*.xls
