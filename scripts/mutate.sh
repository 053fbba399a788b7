#!/usr/bin/env bash
# Mutation testing of the library core: plants one small fault at a time in
# a scratch clone of the committed HEAD, rebuilds, runs the native tests and
# prints the score. Run it before a release and after changes to the core;
# it takes about 2.6 s a mutant and is not part of the test command.
#
#   scripts/mutate.sh [--sample N] [--seed N] [--only ID,ID] [--no-asan] [FILE...]
#
# FILEs default to the core's sources. Mutants that survive the plain run are
# run once more under AddressSanitizer + UndefinedBehaviorSanitizer (as the
# test command runs the same tests): an over-read the plain run cannot see is
# caught there. Survivors listed in tests/mutation/equivalent.json (mutant id
# -> one-line reason why no behaviour can change) leave the score's base.
#
# The translation tests (lang.*) use no core code and take 10-15 s each on a
# loaded machine, so they are left out of each mutant's run.
# MUTATE_PY names the tool (default: ../shared/tools/mutate/mutate.py beside
# the project). Work and results go to build/mutation/ (MUTATE_DIR); a run
# that was stopped goes on where it stopped when HEAD has not moved.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

sample=() only=() asan=1 files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sample) sample+=(--sample "$2"); shift 2 ;;
    --seed) sample+=(--seed "$2"); shift 2 ;;
    --only) only=(--only "$2"); shift 2 ;;
    --no-asan) asan=0; shift ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "mutate.sh: unknown option $1" >&2; exit 2 ;;
    *) files+=("$1"); shift ;;
  esac
done
if [ ${#files[@]} -eq 0 ]; then
  for f in entry/*.cpp messages/*.cpp datafile/*.cpp datafile/cycle.h forward/*.cpp platform/path.cpp; do files+=("$f"); done
fi

tool=${MUTATE_PY:-}
if [ -z "$tool" ]; then
  for c in "$root/../shared/tools/mutate/mutate.py" "$root/../../shared/tools/mutate/mutate.py"; do
    [ -f "$c" ] && { tool=$(cd "$(dirname "$c")" && pwd)/mutate.py; break; }
  done
fi
[ -n "$tool" ] && [ -f "$tool" ] || { echo "mutate.sh: mutate.py not found; set MUTATE_PY" >&2; exit 2; }

dir=${MUTATE_DIR:-$root/build/mutation}
head=$(git rev-parse HEAD)
[ -z "$(git status --porcelain -- "${files[@]}" tests)" ] ||
  echo "mutate.sh: note: uncommitted changes are not measured; the run uses HEAD $head" >&2
mkdir -p "$dir"
notes="$dir/notes.json"
python3 - "$root/tests/mutation/equivalent.json" "$notes" <<'EOF'
import json, sys
equivalent = json.load(open(sys.argv[1]))
json.dump({k: {"verdict": "equivalent", "why": v} for k, v in equivalent.items()}, open(sys.argv[2], "w"), indent=1)
EOF

# A clone of HEAD per configuration; results are kept only for the same HEAD.
prepare() {  # name preset
  local work="$dir/$1" out="$dir/$1-out"
  if [ ! -d "$work/.git" ]; then
    rm -rf "$work" "$out"
    git clone -q --no-checkout "$root" "$work"
  fi
  # A clone made with --no-checkout has no work tree yet, even at HEAD.
  if [ ! -f "$work/CMakePresets.json" ] || [ "$(git -C "$work" rev-parse -q --verify HEAD || true)" != "$head" ]; then
    # A new HEAD: earlier results no longer count; the build goes on incrementally.
    rm -rf "$out"
    git -C "$work" fetch -q "$root" "$head"
    git -C "$work" checkout -q --force --detach "$head"
  fi
  (cd "$work" && cmake --preset "$2" >/dev/null && cmake --build --preset "$2" -j2 >/dev/null)
}

run_tool() {  # name preset extra-args...
  local name=$1 preset=$2
  shift 2
  python3 "$tool" --src "$dir/$name" --out "$dir/$name-out" --notes "$notes" \
    --build "cmake --build --preset $preset -j2 -- -k" \
    --test "ctest --preset $preset --timeout 15 -j2 --stop-on-failure -E '^lang[.]'" \
    "$@" "${files[@]}"
}

echo "== plain run ($head)"
prepare plain native
run_tool plain native "${sample[@]}" "${only[@]}"

# Survivors not judged equivalent get a second chance under the sanitizers.
survivors=$(python3 - "$dir/plain-out/results.json" "$notes" <<'EOF'
import json, sys
r = json.load(open(sys.argv[1])); notes = json.load(open(sys.argv[2]))
print(",".join(m["id"] for m in r["mutants"] if m["outcome"] == "survived" and m["id"] not in notes))
EOF
)
if [ "$asan" = 1 ] && [ -n "$survivors" ]; then
  echo "== survivors under ASan + UBSan"
  prepare asan native-asan
  run_tool asan native-asan --only "$survivors"
elif [ -d "$dir/asan-out" ]; then
  rm -rf "$dir/asan-out"  # no survivors to run again: nothing of an earlier run counts
fi

python3 - "$dir" "$notes" "$root/tests/mutation/equivalent.json" <<'EOF'
import json, os, sys
d, notes = sys.argv[1], json.load(open(sys.argv[2]))
plain = json.load(open(os.path.join(d, "plain-out", "results.json")))["mutants"]
asan_path = os.path.join(d, "asan-out", "results.json")
asan = {m["id"]: m for m in json.load(open(asan_path))["mutants"]} if os.path.exists(asan_path) else {}
killed = not_compiled = equivalent = by_asan = 0
left = []
for m in plain:
    if m["outcome"] == "killed":
        killed += 1
    elif m["outcome"] == "not_compiled":
        not_compiled += 1
    elif m["id"] in notes:
        equivalent += 1
    elif asan.get(m["id"], {}).get("outcome") == "killed":
        killed += 1
        by_asan += 1
    else:
        left.append(m)
generated = len(plain)
base = generated - not_compiled - equivalent
ids = {m["id"] for m in plain}
stale = [i for i in notes if i not in ids]
wrong = [m["id"] for m in plain if m["id"] in notes and m["outcome"] == "killed"]
print(f"generated {generated}, not compiled {not_compiled}, killed {killed} ({by_asan} of them only under ASan + UBSan), "
      f"equivalent {equivalent}, surviving {len(left)}")
print(f"score = killed / (generated - not compiled - equivalent) = {killed}/{base} = "
      f"{killed / base:.4f}" if base else "score: no mutants")
for m in left:
    print(f"survivor {m['id']} {m['file']}:{m['line']} {m['op']} {m['detail']}")
    for ln in m["diff"].split("\n")[1:]:
        print("    " + ln)
if wrong:
    print("listed as equivalent but killed (remove from the list): " + ",".join(wrong))
if stale and not os.environ.get("MUTATE_QUIET_STALE"):
    print(f"{len(stale)} ids of the equivalent list name no mutant of this run (code moved, or a partial run)")
print(f"reports: {d}/plain-out/results.md" + (f", {d}/asan-out/results.md" if asan else ""))
EOF
