#!/usr/bin/env bash
# Every test: the native unit tests (plain, under ASan + UBSan and under
# ThreadSanitizer), short fixed-seed fuzz runs of every fuzz target, then the
# Windows build with its artifact checks and the tests under Wine, with
# mingw gcc and again with clang and lld.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=${JOBS:-2}
run_preset() {
  echo "==== $1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

run_preset native
run_preset native-asan
run_preset native-tsan
run_preset fuzz
run_preset windows
run_preset windows-clang
