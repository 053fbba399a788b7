#!/usr/bin/env bash
# Every test: the native unit tests (plain, under ASan + UBSan and under
# ThreadSanitizer), short fixed-seed fuzz runs of every fuzz target, then the
# Windows build with its artifact checks and the tests under Wine. Each is a
# workflow preset: configure, build, test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

for preset in native native-asan native-tsan fuzz windows; do
  echo "==== $preset"
  cmake --workflow --preset "$preset"
done
