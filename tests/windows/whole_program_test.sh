#!/usr/bin/env bash
# The whole Windows program under Wine, as a user gets it: the portable zip unpacked into a
# fresh folder, a fresh Wine prefix with nothing else installed, the Linux build's demo site as
# the network (through https_proxy/http_proxy), an X server with a window manager, and the user's
# input through xdotool:
#   1. "解析" on the sample address (the field's text at start): the caption becomes the question's
#      title and the rows come (the covers in view painted);
#   2. a click on row 1 fills the field below (its text, copied with Ctrl+A Ctrl+C, is the row's
#      addresses, one per line) and the list; scrolled to its end, the grid's last row is the
#      sixth video;
#   3. a click on the list's first line puts that address on the clipboard (read from X's);
#   4. "下载…" from the line's menu saves the server's bytes under the name typed;
#   5. a picture of the main window after step 3 (WL_SCREENSHOT_DIR/windows_main_window.png when set).
# Every wait is bounded; everything started is stopped and removed at the end.
#   tests/windows/whole_program_test.sh [WINDOWS_BUILD_DIR [LINUX_BUILD_DIR]]
# Without the program (WINDOWS_BUILD_DIR/videolens.exe) it says so and passes, or fails with
# WL_FAIL_ON_SKIP=1.
set -euo pipefail
cd "$(dirname "$0")/../.."
windows_build="${1:-build-windows}"
linux_build="${2:-build}"
if [ ! -f "$windows_build/videolens.exe" ]; then
  echo "whole_program_test: not built ($windows_build/videolens.exe is missing): skipped"
  [ "${WL_FAIL_ON_SKIP:-0}" = 1 ] && exit 1
  exit 0
fi
for tool in Xvfb xdotool xclip import unzip /usr/lib/wine/wine64; do
  command -v "$tool" >/dev/null || { echo "whole_program_test: $tool is missing (scripts/setup.sh --windows)" >&2; exit 1; }
done
for program in videolens-demo demo-rows; do
  [ -x "$linux_build/$program" ] || { echo "whole_program_test: $linux_build/$program is not built" >&2; exit 1; }
done
# shellcheck source=scripts/xvfb.sh
source scripts/xvfb.sh

work="$(mktemp -d /tmp/wl-whole-XXXXXX)"
demo_pid=""
program_pid=""
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
teardown() {
  local pid
  for pid in "$program_pid" "$demo_pid"; do
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  done
  wineserver -k 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}
trap teardown EXIT
fail() {
  echo "whole_program_test: FAILED: $*" >&2
  import -window root "$work/failure.png" 2>/dev/null && cp "$work/failure.png" "${WL_SCREENSHOT_DIR:-/tmp}/whole_program_failure.png" 2>/dev/null
  exit 1
}
# Waits up to $1 seconds (in tenths) for the command after it to succeed.
wait_for() {
  local tenths=$(($1 * 10))
  shift
  for _ in $(seq "$tenths"); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# The zip, as build-windows.sh makes it, unpacked into a folder of its own.
./scripts/package_windows.sh "$windows_build" "$work/dist" >/dev/null
unzip -q "$work"/dist/videolens-*-windows-x64.zip -d "$work/unpacked"
program="$(echo "$work"/unpacked/videolens-*-windows-x64/videolens.exe)"
[ -f "$program" ] || fail "videolens.exe is not in the zip"

start_xvfb "$work"
wineboot -i >/dev/null 2>&1 </dev/null || fail "the Wine prefix did not start"
# Chinese texts need a font that has them, as a Chinese Windows has: the prefix's dialog fonts are
# replaced by WenQuanYi Zen Hei (fonts-wqy-zenhei, installed by setup.sh), a setting, not a program.
for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" SimSun; do
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'WenQuanYi Zen Hei' /f \
    >/dev/null 2>&1 </dev/null || fail "the font replacement cannot be set"
done

# The demo site and the rows its content gives.
"$linux_build/demo-rows" >"$work/rows"
"$linux_build/videolens-demo" --latency 20 --port-file "$work/port" >"$work/demo.log" 2>&1 </dev/null &
demo_pid=$!
wait_for 10 test -s "$work/port" || fail "videolens-demo did not start: $(cat "$work/demo.log")"
proxy="http://127.0.0.1:$(cat "$work/port")"
sample="$(awk -F'\t' '$1 == "page" { n++ } n == 1 && $1 == "page" { print $2 }' "$work/rows")"
title="$(awk -F'\t' '$1 == "page" { n++ } n == 1 && $1 == "page" { print $3 }' "$work/rows")"
rows="$(awk -F'\t' '$1 == "page" { n++; next } n == 1 { print }' "$work/rows")"
[ "$(echo "$rows" | wc -l)" = 6 ] || fail "the demo's sample page should give six rows"
# Row 1's addresses, in the cell's order (each followed by "||"; an empty one is a quality
# without an address, which the list and the field leave out).
first_addresses="$(echo "$rows" | head -n1 | cut -f3 | sed 's/||/\n/g' | sed '/^$/d')"
first_address="$(echo "$first_addresses" | head -n1)"

(cd "$work" && https_proxy="$proxy" http_proxy="$proxy" /usr/lib/wine/wine64 "$program" \
  >"$work/program.log" 2>&1 </dev/null) &
program_pid=$!
window=""
find_window() { window="$(xdotool search --onlyvisible --classname '^videolens.exe$' 2>/dev/null | head -n1)"; [ -n "$window" ]; }
wait_for 60 find_window || fail "no window of videolens.exe within 60 s: $(cat "$work/program.log")"
xdotool windowactivate --sync "$window" 2>/dev/null || true
xdotool windowmove --sync "$window" 10 40 2>/dev/null || true
sleep 1
# Clicks at a point of the window's client area (the template's pixels).
click() { xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"; }
# The standard deviation (0 to 1) of a region of the client area: 0 for a plain region.
spread() {
  import -window "$window" -crop "$3x$4+$1+$2" +repage "$work/region.png" &&
    convert "$work/region.png" -colorspace Gray -format '%[fx:standard_deviation]' info:
}
painted() { awk -v s="$(spread "$@")" 'BEGIN { exit !(s > 0.02) }'; }

# 1. The sample lookup: at start the caption is empty and the address field (编辑框2 at 784,8)
#    holds the sample address (copied to read it); "解析" is 按钮1 (1096,48, 104 by 48).
[ "$(xdotool getwindowname "$window")" = "" ] || fail "the caption is not empty at start"
click 990 28
xdotool key --window "$window" ctrl+a ctrl+c
field_is_sample() { [ "$(xclip -o -selection clipboard 2>/dev/null | tr -d '\r')" = "$sample" ]; }
wait_for 5 field_is_sample || fail "the address field holds '$(xclip -o -selection clipboard 2>/dev/null)', not '$sample'"
click 1148 72
caption_is_title() { [ "$(xdotool getwindowname "$window")" = "$title" ]; }
wait_for 60 caption_is_title || fail "the caption is '$(xdotool getwindowname "$window")', not '$title', after 60 s"
sleep 0.5
# The grid (高级表格1 at 8,8, 776 by 560): a title row of 24 pixels, video rows of 100, the
# number in column 0 (8..68) and the cover in column 1 (68..168); five rows fit, the sixth is cut.
row_top() { echo $((8 + 24 + 100 * ($1 - 1))); }
for row in 1 2 3 4 5; do
  painted 72 $(($(row_top "$row") + 20)) 52 52 || fail "row $row's cover cell is not painted"
done
# Reads the read-only field (编辑框1 at 8,576) by copying its text.
field_text() {
  click 600 600
  xdotool key --window "$window" ctrl+a ctrl+c
  sleep 0.2
  xclip -o -selection clipboard 2>/dev/null | tr -d '\r'
}
field_is() { [ "$(field_text)" = "$1" ]; }
addresses_of_row() { echo "$rows" | sed -n "${1}p" | cut -f3 | sed 's/||/\n/g' | sed '/^$/d'; }

# 2. Row 1 fills the list and the field.
painted 792 132 400 60 && fail "the list is not empty before a row is clicked"
click 300 $(($(row_top 1) + 50))
wait_for 5 painted 792 132 400 60 || fail "the list stays empty after a click on row 1"
wait_for 5 field_is "$first_addresses" || fail "the field holds '$(field_text)', not row 1's addresses"

# The grid scrolled to its end (its scroll bar's down arrow, at its right bottom corner): the last
# row is the sixth, and its click shows the sixth video's addresses.
for _ in $(seq 12); do click 776 558; done
sleep 0.5
click 300 $((8 + 560 - 40))
sixth_addresses="$(addresses_of_row 6)"
wait_for 5 field_is "$sixth_addresses" || fail "the last row is not the sixth video: the field holds '$(field_text)'"
# Back to the top for the list's check below.
for _ in $(seq 12); do click 776 18; done
click 300 $(($(row_top 1) + 50))
wait_for 5 field_is "$first_addresses" || fail "row 1 is not shown again after scrolling back"

# 3. The list's first line (超级列表框1 at 784,104, under its header) copies its address.
click 1000 $((104 + 24 + 8))
clipboard_is_address() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$first_address" ]; }
wait_for 5 clipboard_is_address || fail "the clipboard holds '$(xclip -o -selection clipboard 2>/dev/null)', not '$first_address'"

# The picture of the main window for the README, before the downloads window opens over it.
if [ -n "${WL_SCREENSHOT_DIR:-}" ]; then
  import -window "$window" "$WL_SCREENSHOT_DIR/windows_main_window.png"
fi

# 4. "下载…" (the third entry of the line's menu) saves the server's bytes under the name typed.
curl -s -k --max-time 60 --proxy "$proxy" -o "$work/expected.mp4" "$first_address" || fail "the demo's file cannot be fetched"
mkdir -p "$work/downloads"
click 1000 $((104 + 24 + 8)) 3
sleep 1
xdotool key Down Down Down Return
sleep 2
xdotool key ctrl+a
xdotool type --delay 20 "Z:${work//\//\\}\\downloads\\demo.mp4"
xdotool key Return
complete() { [ -f "$work/downloads/demo.mp4" ] && cmp -s "$work/downloads/demo.mp4" "$work/expected.mp4"; }
wait_for 60 complete || fail "the download is not the server's file after 60 s"

echo "whole_program_test: passed (six rows, list, field, clipboard, download of $(stat -c %s "$work/downloads/demo.mp4") bytes)"
