#!/usr/bin/env bash
# qdf.exe's own files under Wine: a directory named outside the ANSI code
# page, an output that is an input in another case, and a write failure.
#
#   wine_files.sh QDF_EXE SOURCE WORK_DIR -- WINE_RUN...
#
# WINE_RUN runs a Windows program in the booted prefix (scripts/wine.sh ... run).
set -uo pipefail

qdf=$1 source=$2 work=$3
shift 3
[[ ${1-} == -- ]] || { echo "wine_files.sh: no '--' before the Wine command" >&2; exit 2; }
shift
run=("$@")
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

win() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }

# Runs qdf.exe; sets status and output.
qdf_exe() {
  output=$("${run[@]}" "$qdf" "$@" 2>&1 | tr -d '\r')
  status=${PIPESTATUS[0]}
}

rm -rf "$work"
mkdir -p "$work/数据"
cp "$source" "$work/数据/en.po"
dir=$(win "$work/数据")

# 1. Reading a source and writing the output in a directory named 数据.
qdf_exe build "$dir\\en.po" -o "$dir\\TRAMOLED.QDF" --werror
[[ $status == 0 ]] || fail "build in 数据: got exit $status, expected 0: $output"
[[ -s $work/数据/TRAMOLED.QDF ]] || fail "build in 数据: got no TRAMOLED.QDF"
qdf_exe check "$dir\\TRAMOLED.QDF"
[[ $status == 0 ]] || fail "check in 数据: got exit $status, expected 0: $output"
qdf_exe dump "$dir\\TRAMOLED.QDF" --po -o "$dir\\dump.po"
[[ $status == 0 ]] || fail "dump in 数据: got exit $status, expected 0: $output"
grep -q 'msgctxt "ERMSG_XX"' "$work/数据/dump.po" || fail "dump in 数据: got no ERMSG_XX in dump.po"

# 2. The output names the input in another case: refused, the source whole.
cp "$work/数据/en.po" "$work/before.po"
qdf_exe build "$dir\\en.po" -o "$dir\\EN.PO"
[[ $status == 2 ]] || fail "output EN.PO for en.po: got exit $status, expected 2: $output"
[[ $output == *output-is-input* ]] || fail "output EN.PO for en.po: got \"$output\", expected output-is-input"
cmp -s "$work/数据/en.po" "$work/before.po" || fail "output EN.PO for en.po: got the source changed"

# 3. A write failure (a file-size limit of one block): exit 2, the old file stays.
# SIGXFSZ is ignored (the disposition carries into Wine), so that the write
# fails with EFBIG as on a full disk instead of killing the process.
cp "$work/数据/TRAMOLED.QDF" "$work/old.qdf"
big="$work/数据/big.txt"
for i in $(seq 0 15); do printf 'ERMSG_%02d = %0280d\n' "$i" 0; done >"$big"
echo "ERMSG_XX = other" >>"$big"
output=$( (trap '' XFSZ; ulimit -f 1; "${run[@]}" "$qdf" build "$dir\\big.txt" -o "$dir\\TRAMOLED.QDF") 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
[[ $status == 2 ]] || fail "write past the file-size limit: got exit $status, expected 2: $output"
[[ $output == *"TRAMOLED.QDF: error: cannot write"* ]] ||
  fail "write past the file-size limit: got \"$output\", expected it to name the file"
cmp -s "$work/数据/TRAMOLED.QDF" "$work/old.qdf" || fail "write past the file-size limit: got the old file changed"
leftover=$(find "$work/数据" -name '*.qdf-*' | head -1)
[[ -z $leftover ]] || fail "write past the file-size limit: got the temporary file $leftover left"

if [[ $failures -gt 0 ]]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all qdf.exe file checks passed"
