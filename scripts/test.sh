#!/usr/bin/env bash
# Builds and runs every test. On a fresh Debian machine it installs what is needed first.
#   scripts/test.sh              the normal build
#   scripts/test.sh --sanitize   the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# With WL_FAIL_ON_SKIP=1 (CI sets it) a test that skips itself, or any other test that does not
# run, fails the run: setup.sh provides everything the tests need.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DWL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug )
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
fi
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
results="$PWD/$build/ctest-results.xml"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --output-junit "$results"
if [ "${WL_FAIL_ON_SKIP:-0}" = 1 ]; then
  not_run="$(sed -n 's/.*<testcase name="\([^"]*\)".* status="notrun".*/\1/p' "$results")"
  if [ -n "$not_run" ]; then
    echo "These tests did not run (WL_FAIL_ON_SKIP=1):" >&2
    echo "$not_run" | sed 's/^/  /' >&2
    exit 1
  fi
fi
