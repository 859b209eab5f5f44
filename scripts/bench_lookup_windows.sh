#!/usr/bin/env bash
# Times the 50-video lookup's request sequence (no windows) at 100 ms per answer, in the same run
# on the Linux build and on the Windows build under Wine, against one videolens-demo
# --latency 100 (the Linux build's).
#   scripts/bench_lookup_windows.sh [RUNS]    (default 5 runs each)
# Prints each build's runs and medians, then the ratio of the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
./scripts/setup.sh --windows
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)" --target videolens-demo lookup_sequence_timing
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-windows -j"$(nproc)" --target lookup_sequence_timing
wine="$(sed -n 's/^WL_WINE:FILEPATH=//p' build-windows/CMakeCache.txt)"

export WINEPREFIX WINEDEBUG=-all
WINEPREFIX="$(mktemp -d /tmp/wl-wine-XXXXXX)"
work="$(mktemp -d /tmp/wl-bench-XXXXXX)"
demo_pid=""
finish() {
  if [ -n "$demo_pid" ]; then kill "$demo_pid" 2>/dev/null || true; wait "$demo_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap finish EXIT
wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p >/dev/null 2>&1 </dev/null &
wineboot >/dev/null 2>&1 </dev/null

build/videolens-demo --latency 100 --port-file "$work/port" >"$work/log" 2>&1 </dev/null &
demo_pid=$!
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  sleep 0.1
done
[ -s "$work/port" ] || { echo "videolens-demo did not start" >&2; cat "$work/log" >&2; exit 1; }
export WL_DEMO_PROXY="http://127.0.0.1:$(cat "$work/port")"

echo "== Linux build"
build/lookup_sequence_timing /question/100000050 "$runs" | tee "$work/linux"
echo "== Windows build under Wine"
"$wine" build-windows/lookup_sequence_timing.exe /question/100000050 "$runs" </dev/null | tr -d '\r' | tee "$work/windows"
linux="$(sed -n 's/^median \([0-9]*\) ms.*/\1/p' "$work/linux")"
windows="$(sed -n 's/^median \([0-9]*\) ms.*/\1/p' "$work/windows")"
awk -v l="$linux" -v w="$windows" 'BEGIN { printf "Windows/Linux median: %d ms / %d ms = %.2f\n", w, l, w / l }'
