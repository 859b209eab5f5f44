#!/usr/bin/env bash
# Builds and runs every test. On a fresh Debian machine it installs what is needed first.
#   scripts/test.sh              the normal build
#   scripts/test.sh --sanitize   the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
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
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
