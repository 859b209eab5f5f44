#!/usr/bin/env bash
# Installs the build into a scratch root (DESTDIR) and checks the desktop integration there.
#   desktop_entry_test.sh BUILD_DIR validate  - the entry and the icon are where a desktop looks,
#                                               and desktop-file-validate accepts the entry
#                                               (exit 77, skipped, when the tool is missing)
#   desktop_entry_test.sh BUILD_DIR start     - the entry's Exec line starts the program, which
#                                               runs or ends cleanly within its time-out
set -uo pipefail
build="$1"
mode="$2"
prefix=/usr
root="$(mktemp -d "${TMPDIR:-/tmp}/videolens-install-XXXXXX")"
trap 'rm -rf "$root"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
entry="$root$prefix/share/applications/videolens.desktop"
[ -f "$entry" ] || fail "no desktop entry at share/applications"
[ -f "$root$prefix/share/icons/hicolor/scalable/apps/videolens.svg" ] || fail "no scalable icon"
[ -x "$root$prefix/bin/videolens" ] || fail "no program in bin"
icon="$(sed -n 's/^Icon=//p' "$entry")"
[ "$icon" = videolens ] || fail "the entry names icon '$icon'"

case "$mode" in
  validate)
    grep -q '^Name\[zh_CN\]=' "$entry" || fail "no Chinese name"
    grep -q '^Categories=Network;Utility;$' "$entry" || fail "categories"
    if ! command -v desktop-file-validate >/dev/null; then
      echo "desktop-file-validate is not installed: skipped"
      exit 77
    fi
    out="$(desktop-file-validate "$entry" 2>&1)"
    status=$?
    echo "$out"
    [ $status -eq 0 ] || fail "desktop-file-validate rejects the entry"
    echo "$out" | grep -qE 'error|warning' && fail "desktop-file-validate reports problems"
    exit 0
    ;;
  start)
    ;;
  *)
    fail "unknown mode $mode"
    ;;
esac

# The Exec line as a menu would run it: field codes dropped, the program found on the PATH.
exec_line="$(sed -n 's/^Exec=//p' "$entry" | sed -E 's/ ?%[fFuUdDnNickvm]//g')"
[ -n "$exec_line" ] || fail "no Exec line"
log="$root/stderr.txt"
export PATH="$root$prefix/bin:$PATH"
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$root/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
# shellcheck disable=SC2086  # the Exec line is split into words as a menu splits it
$exec_line 2>"$log" &
pid=$!
# Up to 3 s for the program to run; a program still running then gets SIGTERM, and must
# end within 3 s more (else it is killed and the test fails).
for _ in $(seq 30); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
terminated=0
if kill -0 "$pid" 2>/dev/null; then
  terminated=1
  kill -TERM "$pid"
  for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    fail "the program did not end after SIGTERM"
  fi
fi
wait "$pid"
status=$?
cat "$log" >&2
if grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:|Segmentation fault|Aborted|core dumped' "$log"; then
  fail "crash report on standard error"
fi
# A normal end, or the end SIGTERM asked for (128 + 15); crash signals fail.
if [ $status -eq 0 ] || { [ $terminated -eq 1 ] && [ $status -eq 143 ]; }; then
  echo "started from the menu entry: exit status $status (terminated by the test: $terminated)"
  exit 0
fi
fail "exit status $status"
