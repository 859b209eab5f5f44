#!/usr/bin/env bash
# Times the start of the Windows build under Wine, from the process's launch to its first visible
# window, for the bare window program (windows_start, bench/bare_window.cc) and for videolens.exe,
# stripped as in the zip, in one run, alternating, in one Wine prefix with its server kept running and one X server (Xvfb
# with openbox): the time is polled (xdotool, every 10 ms) until a window of the program is mapped.
#   scripts/bench_start_windows.sh [RUNS]    (default 7 runs of each, after one start each unmeasured)
# Prints each program's runs and median, then the ratio of the medians (the target: at most 1.5).
# Without videolens.exe it times the bare window alone and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-7}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
./scripts/setup.sh --windows
build=build-windows
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
programs=(windows_start)
if ninja -C "$build" -t targets all | grep -q '^videolens\.exe:'; then programs+=(videolens); fi
cmake --build "$build" -j"$(nproc)" --target "${programs[@]}"
wine=/usr/lib/wine/wine64
# shellcheck source=scripts/xvfb.sh
source scripts/xvfb.sh

export WINEPREFIX WINEDEBUG=-all
WINEPREFIX="$(mktemp -d /tmp/wl-wine-XXXXXX)"
work="$(mktemp -d /tmp/wl-bench-XXXXXX)"
program_pid=""
finish() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; wait "$program_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  stop_xvfb
  rm -rf "$WINEPREFIX" "$work"
}
trap finish EXIT
start_xvfb "$work"
wineboot -i >/dev/null 2>&1 </dev/null
wineserver -w
wineserver -p >/dev/null 2>&1 </dev/null &
wineboot >/dev/null 2>&1 </dev/null

# Milliseconds from launch to the first mapped window of the program (30 s at most), the program
# then ended and its window gone.
time_start() {
  local exe="$1" class started now shown=""
  class="$(basename "$exe")"
  started="$(date +%s%N)"
  (cd "$work" && exec "$wine" "$exe" >/dev/null 2>&1 </dev/null) &
  program_pid=$!
  for _ in $(seq 3000); do
    if xdotool search --onlyvisible --class "^$class\$" >/dev/null 2>&1; then
      now="$(date +%s%N)"
      shown=$(((now - started) / 1000000))
      break
    fi
    sleep 0.01
  done
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
  for _ in $(seq 500); do
    xdotool search --class "^$class\$" >/dev/null 2>&1 || break
    sleep 0.01
  done
  [ -n "$shown" ] || { echo "no window of $class within 30 s" >&2; return 1; }
  echo "$shown"
}
median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Each program as the zip ships it: stripped of its debugging information (scripts/package_windows.sh),
# which otherwise makes the build's videolens.exe ten times as large to map.
for program in "${programs[@]}"; do
  cp "$build/$program.exe" "$work/$program.exe"
  x86_64-w64-mingw32-strip "$work/$program.exe"
done
declare -A times
for program in "${programs[@]}"; do time_start "$work/$program.exe" >/dev/null; done  # warm-up
for _ in $(seq "$runs"); do
  for program in "${programs[@]}"; do
    times[$program]+=" $(time_start "$work/$program.exe")"
  done
done
for program in "${programs[@]}"; do
  echo "$program: runs (ms):${times[$program]}; median $(echo "${times[$program]}" | median) ms"
done
if [ "${#programs[@]}" -eq 2 ]; then
  awk -v a="$(echo "${times[videolens]}" | median)" -v b="$(echo "${times[windows_start]}" | median)" \
    'BEGIN { printf "ratio videolens / bare window: %.2f (target: at most 1.5)\n", a / b }'
else
  echo "videolens.exe is not built in $build: the bare window alone was timed, no ratio"
fi
