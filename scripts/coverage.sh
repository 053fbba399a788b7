#!/usr/bin/env bash
# Line and branch coverage of the library core by the native tests.
#
#   scripts/coverage.sh [FILE...]
#
# Builds the native tests in build/coverage with --coverage (atomic counters:
# the eight-thread test updates them from several threads at once), runs
# them, and prints per core file the lines and branches taken, then every
# line with a branch never taken. FILEs default to the core's sources.
# gcovr is installed by `scripts/deps.sh coverage` when it is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
command -v gcovr >/dev/null || bash scripts/deps.sh coverage

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  for f in entry/*.cpp messages/*.cpp datafile/*.cpp datafile/cycle.h forward/*.cpp platform/path.cpp; do files+=("$f"); done
fi

build=build/coverage
flags="--coverage -fprofile-update=atomic"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
  -DCMAKE_MODULE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "${JOBS:-2}" >/dev/null
find "$build" -name "*.gcda" -delete
# CMake's compiler checks leave notes of programs that never run.
find "$build/CMakeFiles" -path "*CompilerId*" -name "*.gcno" -delete
ctest --test-dir "$build" -j "${JOBS:-2}" --timeout 120 --output-on-failure >"$build/ctest.log" ||
  { tail -40 "$build/ctest.log"; echo "coverage.sh: tests failed" >&2; exit 1; }

# Notes without counts are objects no test ran, such as those of targets an
# earlier layout of the build left behind: they would clash with the live ones.
find "$build" -name '*.gcno' | while read -r n; do [ -f "${n%.gcno}.gcda" ] || rm -f "$n"; done

filters=()
for f in "${files[@]}"; do filters+=(--filter "$(printf '%s' "$f" | sed 's/[.]/[.]/g')\$"); done
# Branches on lines without code of their own (compiler-made) are left out.
gcovr -r . --object-directory "$build" "${filters[@]}" --exclude-unreachable-branches \
  --json "$build/coverage.json" >/dev/null

python3 - "$build/coverage.json" "${files[@]}" <<'EOF'
import json, sys
data = json.load(open(sys.argv[1]))
wanted = sys.argv[2:]
by_file = {f["file"]: f for f in data["files"]}
rows, gaps = [], []
for name in wanted:
    f = by_file.get(name)
    if not f:
        rows.append((name, "not built", "", ""))
        continue
    lines = [l for l in f["lines"] if not l.get("gcovr/noncode")]
    lt = len(lines)
    lc = sum(1 for l in lines if l["count"] > 0)
    bt = bc = 0
    for l in lines:
        missed = [i for i, b in enumerate(l["branches"]) if b["count"] == 0]
        bt += len(l["branches"])
        bc += len(l["branches"]) - len(missed)
        if l["count"] == 0:
            gaps.append(f"{name}:{l['line_number']}: line never run")
        elif missed:
            gaps.append(f"{name}:{l['line_number']}: {len(missed)} of {len(l['branches'])} branches never taken")
    pct = lambda c, t: f"{100.0 * c / t:.1f}% ({c}/{t})" if t else "-"
    rows.append((name, pct(lc, lt), pct(bc, bt), ""))
w = max(len(r[0]) for r in rows)
print(f"{'file':<{w}}  {'lines':<18}  branches")
for r in rows:
    print(f"{r[0]:<{w}}  {r[1]:<18}  {r[2]}")
if gaps:
    print("\nnot covered:")
    for g in gaps:
        print("  " + g)
EOF
