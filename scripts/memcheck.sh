#!/usr/bin/env bash
# Runs the end-to-end lookup tests of the demo site under valgrind memcheck; fails when any
# block is definitely or indirectly lost (or on any memory error).
#   scripts/memcheck.sh                       the sample page lookup and the lookups after faults
#   scripts/memcheck.sh 'LookUpVideosTest.*'  another gtest filter (valgrind is slow: keep it narrow)
set -euo pipefail
cd "$(dirname "$0")/.."
filter="${1:-LookUpVideosTest.SamplePage*:LookUpVideosFaultsTest.*}"
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target app_tests
supp=()
[ -s scripts/valgrind.supp ] && supp=(--suppressions=scripts/valgrind.supp)
QT_QPA_PLATFORM=offscreen nice valgrind --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=1 --num-callers=30 "${supp[@]}" \
  "$build/app_tests" --gtest_filter="$filter"
