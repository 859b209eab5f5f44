#!/usr/bin/env bash
# Sourced by the scripts that show windows under Wine: an X server of their own (Xvfb, on a
# display it picks itself, so that builds running side by side never share one).
#   start_xvfb DIR   starts it (its display number kept in DIR), exports DISPLAY, sets XVFB_PID
#   stop_xvfb        stops it
start_xvfb() {
  local dir="$1"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$dir/display" >/dev/null 2>&1 </dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.05
  done
  if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$dir/display")"
}
stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
