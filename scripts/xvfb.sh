#!/usr/bin/env bash
# Sourced by the scripts that show windows under Wine: an X server of their own (Xvfb, on a
# display it picks itself, so that builds running side by side never share one) with a window
# manager (openbox, when installed), as a user's desktop has: without one, Wine waits up to two
# seconds for the manager each time a window is hidden.
#   start_xvfb DIR   starts them (the display number kept in DIR), exports DISPLAY
#   stop_xvfb        stops them
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
  DISPLAY=":$(head -n1 "$dir/display")"
  export DISPLAY
  XVFB_WM_PID=""
  if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 </dev/null &
    XVFB_WM_PID=$!
  fi
}
stop_xvfb() {
  local pid
  for pid in "${XVFB_WM_PID:-}" "${XVFB_PID:-}"; do
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  XVFB_WM_PID=""
  XVFB_PID=""
}
