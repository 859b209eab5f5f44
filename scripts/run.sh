#!/usr/bin/env bash
# Builds the program and starts it. On a fresh Debian machine it installs what is needed
# first.
#   scripts/run.sh                     the program, as it is
#   scripts/run.sh --demo              the program against the local demo site: the demo site and
#                                      its proxy start in the background, the program reaches them
#                                      through https_proxy/http_proxy, and they stop when the
#                                      program ends; every response waits 80 ms, as on a real network
#   scripts/run.sh --demo --latency MS the same with MS milliseconds per response (0: none)
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { echo "usage: $0 [--demo [--latency MS]]" >&2; exit 2; }
demo=0
latency=80
case "${1:-}" in
  "") ;;
  --demo) demo=1 ;;
  *) usage ;;
esac
if [ "$demo" -eq 1 ] && [ $# -gt 1 ]; then
  [ "$2" = "--latency" ] && [ $# -eq 3 ] || usage
  case "$3" in
    ''|*[!0-9]*) echo "run.sh: --latency takes a whole number of milliseconds" >&2; exit 2 ;;
  esac
  latency=$3
elif [ $# -gt 1 ]; then
  usage
fi
./scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
if [ "$demo" -eq 0 ]; then
  cmake --build build -j"$(nproc)" --target videolens
  exec ./build/videolens
fi

cmake --build build -j"$(nproc)" --target videolens videolens-demo
work=$(mktemp -d)
./build/videolens-demo --port-file "$work/port" --latency "$latency" >"$work/demo.log" 2>&1 &
demo_pid=$!
stop_demo() {
  kill "$demo_pid" 2>/dev/null || true
  wait "$demo_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap stop_demo EXIT
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  if ! kill -0 "$demo_pid" 2>/dev/null; then
    cat "$work/demo.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$work/port" ]; then
  echo "run.sh: the demo site did not start within 10 s" >&2
  exit 1
fi
port=$(cat "$work/port")
export https_proxy="http://127.0.0.1:$port" http_proxy="http://127.0.0.1:$port"
export HTTPS_PROXY="$https_proxy"
unset no_proxy NO_PROXY ALL_PROXY all_proxy
echo "run.sh: demo site up behind the proxy http://127.0.0.1:$port, $latency ms per response;" \
  "press \"解析\" for the sample page"
# The demo's page list, from its log: addresses to paste.
sed -n "/^The demo's pages/,\$p" "$work/demo.log"
status=0
./build/videolens || status=$?
exit "$status"
