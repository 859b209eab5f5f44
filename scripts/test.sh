#!/usr/bin/env bash
# Builds and runs every test. On a fresh Debian machine it installs what is needed first.
#   scripts/test.sh              the normal build
#   scripts/test.sh --sanitize   the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/test.sh --windows    the Windows build, cross-built with mingw-w64 and tested under Wine
#                                (windows on an Xvfb of the run's own), then the whole program
#                                from its zip (tests/windows/whole_program_test.sh) once it is built
# With WL_FAIL_ON_SKIP=1 (CI sets it) a test that skips itself, or any other test that does not
# run, fails the run: setup.sh provides everything the tests need.
set -euo pipefail
cd "$(dirname "$0")/.."
# The compiler cache sees paths relative to the checkout, so that a fresh clone in another folder
# (as CI makes) finds what an earlier build of the same sources left there.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
./scripts/setup.sh "${1:-}"
build=build
flags=()
if [ "${1:-}" = "--windows" ]; then
  build=build-windows
  flags=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
  # Wine in a prefix of its own, booted once; one persistent server for the whole run makes each
  # test process start in a fraction of a second.
  export WINEPREFIX
  WINEPREFIX="$(mktemp -d /tmp/wl-wine-XXXXXX)"
  export WINEDEBUG=-all
  demo_pid=""
  servers_pid=""
  demo_dir="$(mktemp -d /tmp/wl-demo-XXXXXX)"
  # shellcheck source=scripts/xvfb.sh
  source scripts/xvfb.sh
  stop_wine() {
    if [ -n "$demo_pid" ]; then kill "$demo_pid" 2>/dev/null || true; wait "$demo_pid" 2>/dev/null || true; fi
    if [ -n "$servers_pid" ]; then kill "$servers_pid" 2>/dev/null || true; wait "$servers_pid" 2>/dev/null || true; fi
    wineserver -k 2>/dev/null || true
    stop_xvfb
    rm -rf "$demo_dir"
    rm -rf "$WINEPREFIX"
  }
  trap stop_wine EXIT
  # The windows' tests draw on an X server of the run's own, there before Wine's first process.
  start_xvfb "$demo_dir"
  # The prefix boots while the build runs.
  wineboot -i >/dev/null 2>&1 &
  wine_boot=$!
  # The demo site and the request engine's test servers cannot be built for Windows: the Linux
  # build's run beside the Windows tests.
  cmake -S . -B build -G Ninja >/dev/null
  cmake --build build -j"$(nproc)" --target videolens-demo demo-rows test-servers
elif [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DWL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug )
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
fi
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ "${1:-}" = "--windows" ]; then
  wait "$wine_boot"
  wineserver -w
  wineserver -p >/dev/null 2>&1 </dev/null &
  # The session's own processes (services, devices) start with the first program and live as
  # long as the server: started here, they hold no test's output open.
  wineboot >/dev/null 2>&1 </dev/null
  # The first program that loads the network libraries starts Wine's device services, which
  # outlive it holding its output: started here, they do not hold CTest's pipes open.
  "$(sed -n 's/^WL_WINE:FILEPATH=//p' "$build/CMakeCache.txt")" \
    "$build/platform_tests.exe" --gtest_list_tests >/dev/null 2>&1 </dev/null || true
  # The lookup's tests reach the demo through its proxy (WL_DEMO_PROXY) and compare with the rows
  # its content gives (WL_DEMO_ROWS, a file Wine reads through its drive Z:, the Linux root).
  build/demo-rows >"$demo_dir/rows"
  build/videolens-demo --port-file "$demo_dir/port" >"$demo_dir/log" 2>&1 </dev/null &
  demo_pid=$!
  for _ in $(seq 100); do
    [ -s "$demo_dir/port" ] && break
    sleep 0.1
  done
  if [ ! -s "$demo_dir/port" ]; then
    echo "videolens-demo did not start:" >&2
    cat "$demo_dir/log" >&2
    exit 1
  fi
  export WL_DEMO_PROXY="http://127.0.0.1:$(cat "$demo_dir/port")"
  export WL_DEMO_ROWS="Z:$demo_dir/rows"
  # The request engine's tests reach their scripted servers by the ports in WL_TEST_SERVERS.
  build/test-servers --port-file "$demo_dir/servers" >"$demo_dir/servers.log" 2>&1 </dev/null &
  servers_pid=$!
  for _ in $(seq 100); do
    [ -s "$demo_dir/servers" ] && break
    sleep 0.1
  done
  if [ ! -s "$demo_dir/servers" ]; then
    echo "test-servers did not start:" >&2
    cat "$demo_dir/servers.log" >&2
    exit 1
  fi
  WL_TEST_SERVERS="$(cat "$demo_dir/servers")"
  export WL_TEST_SERVERS
  # Likewise the first check of a server's certificate chain starts services that would hold the
  # first such test's output open: one check here, before CTest.
  "$(sed -n 's/^WL_WINE:FILEPATH=//p' "$build/CMakeCache.txt")" "$build/platform_tests.exe" \
    --gtest_filter='HttpEngineTest.SelfSignedCertificateAcceptedOnlyUnderTheMask' >/dev/null 2>&1 </dev/null || true
fi
results="$PWD/$build/ctest-results.xml"
repeat=()
# Under Wine a test process now and then fails to start at all (it ends at once, printing
# nothing): such a test is run once more. A test that fails on its own fails both times.
if [ "${1:-}" = "--windows" ]; then repeat=(--repeat until-pass:2); fi
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "${repeat[@]}" \
  --output-junit "$results"
if [ "${WL_FAIL_ON_SKIP:-0}" = 1 ]; then
  not_run="$(sed -n 's/.*<testcase name="\([^"]*\)".* status="notrun".*/\1/p' "$results")"
  if [ -n "$not_run" ]; then
    echo "These tests did not run (WL_FAIL_ON_SKIP=1):" >&2
    echo "$not_run" | sed 's/^/  /' >&2
    exit 1
  fi
fi
if [ "${1:-}" = "--windows" ]; then
  # The whole program from its zip, in a Wine prefix and on an X server of its own; without the
  # program it says "not built" (and fails under WL_FAIL_ON_SKIP=1).
  tests/windows/whole_program_test.sh "$build" build
fi
