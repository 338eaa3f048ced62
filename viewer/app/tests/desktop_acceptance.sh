#!/bin/bash
# The real program on a desktop: its own Xvfb with the openbox window manager, driven by
# real X input (xdotool). Checks that the window lies wholly on the screen, that F1 brings
# the help to the front with its page rendered (no tags in its text), that Space gives the
# map the screen and the keys still reach it, that a second Space brings back the former
# rectangle with every control, and that a source dialog comes to the front.
#   desktop_acceptance.sh PELORIN SETTINGS_FILE
# Exit status 77 (skipped) when Xvfb, openbox, xdotool or ImageMagick is missing.
set -u
program="$1"
settings="$2"
for tool in Xvfb openbox xdotool xwininfo import compare; do
  command -v "$tool" >/dev/null 2>&1 || { echo "no $tool: skipped"; exit 77; }
done

work="$(mktemp -d)"
numfile="$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
xvfb=$!
wm=""
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$numfile" ] && break; sleep 0.1; done
[ -s "$numfile" ] || { echo "Xvfb did not start: skipped"; exit 77; }
export DISPLAY=":$(head -n1 "$numfile")"
openbox >/dev/null 2>&1 &
wm=$!

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# Waits (at most $1 tenths of a second) until the command succeeds.
wait_for() {
  local tries="$1"
  shift
  for _ in $(seq "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
# x y width height of a window with its frame (the client's place and size widened by
# the frame extents the window manager announces).
frame_of() {
  local ext l r t b
  ext="$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')"
  read -r l r t b <<<"${ext:-0 0 0 0}"
  xwininfo -id "$1" | awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" '
    /Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /^  Width/{w=$2}
    /^  Height/{h=$2} END{print x - l, y - t, w + l + r, h + t + b}'
}
# Closes a window as its close button does (openbox: Alt+F4 on the active window).
close_window() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  xdotool key alt+F4
}
# The topmost of the program's mapped windows, by stacking order.
top_window() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | tail -n1; }
stack_top() {
  xprop -root _NET_CLIENT_LIST_STACKING | tr -d ',' | awk '{print $NF}' | xargs printf '%d\n'
}
shot() { import -window root "$work/$1.png"; }
# Pixels that differ between two screenshots inside a rectangle (x y w h).
differ() {
  compare -metric AE -crop "$3x$4+$1+$2" "$work/$5.png" "$work/$6.png" null: 2>&1 | cut -d' ' -f1
}

wait_for 50 xprop -root _NET_SUPPORTING_WM_CHECK || { echo "openbox did not start: skipped"; exit 77; }
cd "$work" && cp "$settings" PLsetting.ini
# The map in the free Default view, so that the keys visibly turn it.
sed -i 's/^VIEW_POINT=.*/VIEW_POINT=0/' PLsetting.ini
PELORIN_GL_STATS=1 "$program" >"$work/out.txt" 2>&1 &
app=$!
wait_for 150 xdotool search --onlyvisible --name "^Pelorin - " || { cat "$work/out.txt"; fail "no main window"; exit 1; }
main="$(xdotool search --onlyvisible --name "^Pelorin - " | head -n1)"
sleep 1.5  # the window settles on its place

# 1. Wholly on the screen, frame included.
read -r x y w h <<<"$(frame_of "$main")"
if [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 1024 ]; then
  pass "main window at $x,$y size ${w}x$h lies on the screen"
else
  fail "main window at $x,$y size ${w}x$h leaves the 1280x1024 screen"
fi
before="$x $y $w $h"
xprop -id "$main" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_NORMAL &&
  pass "a normal window" || fail "main window type: $(xprop -id "$main" _NET_WM_WINDOW_TYPE)"

# 2. F1: the help comes to the front and shows its page rendered.
xdotool windowactivate --sync "$main" >/dev/null 2>&1
xdotool key F1
if wait_for 100 xdotool search --onlyvisible --name "^Help: "; then
  help="$(xdotool search --onlyvisible --name "^Help: " | head -n1)"
  sleep 1
  [ "$(stack_top)" = "$help" ] && pass "help in front" || fail "help is not the top window"
  title="$(xdotool getwindowname "$help")"
  # A page read as text has no title of its own: the window would say "Help: overview.htm".
  [ "$title" = "Help: Pelorin" ] && pass "help page rendered (title $title)" ||
    fail "help page not rendered as HTML (title $title)"
  shot help
  close_window "$help"
else
  fail "F1 opened no help window"
fi
sleep 0.5

# 3. Space: the map takes the screen; keys still turn it; Space again brings all back.
xdotool windowactivate --sync "$main" >/dev/null 2>&1
sleep 0.3
shot normal
xdotool key space
sleep 1.5
read -r fx fy fw fh <<<"$(frame_of "$main")"
[ "$fw" -ge 1280 ] && [ "$fh" -ge 1024 ] && pass "full screen ${fw}x$fh" ||
  fail "full screen window is ${fw}x$fh"
shot full1
# The map is black where it draws nothing: most of the screen must be the map's black.
black="$(convert "$work/full1.png" -fill white +opaque black -fill black -opaque black \
  -format '%[fx:1-mean]' info:)"
awk -v b="$black" 'BEGIN{exit !(b >= 0.90)}' && pass "map covers $black of the screen" ||
  fail "map covers only $black of the screen"
xdotool key Right Right Right Right Right Right Right Right Right Right Up Up Up Up Up
sleep 0.8
shot full2
moved="$(differ 0 40 1280 984 full1 full2)"
[ "${moved:-0}" -gt 100 ] && pass "keys turn the map in full screen ($moved pixels changed)" ||
  fail "keys did not reach the map in full screen ($moved pixels changed)"
xdotool key space
sleep 1.5
read -r x y w h <<<"$(frame_of "$main")"
[ "$x $y $w $h" = "$before" ] && pass "former rectangle $x $y $w $h" ||
  fail "after full screen at $x $y $w $h, was $before"
shot back
# Every control is back: the control area above the map looks as before.
changed="$(differ 0 20 1000 230 normal back)"
[ "${changed:-0}" -lt 2000 ] && pass "controls back ($changed pixels differ)" ||
  fail "controls not back ($changed pixels differ)"

# 4. A source dialog comes to the front (Ctrl+F2: the first source).
xdotool key ctrl+F2
if wait_for 50 xdotool search --onlyvisible --name "^Source Selection$"; then
  dialog="$(xdotool search --onlyvisible --name "^Source Selection$" | head -n1)"
  sleep 0.5
  [ "$(stack_top)" = "$dialog" ] && pass "source dialog in front" || fail "source dialog is not the top window"
  read -r x y w h <<<"$(frame_of "$dialog")"
  [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 1024 ] && pass "source dialog on the screen" ||
    fail "source dialog at $x,$y ${w}x$h leaves the screen"
  shot dialog
  xdotool key Escape
else
  fail "Ctrl+F2 opened no source dialog"
fi
sleep 0.5
close_window "$main"
wait_for 100 bash -c "! kill -0 $app" || fail "the program did not end when its window closed"
app=""
grep -E "gl context retries|not available" "$work/out.txt"
[ -n "${PELORIN_DESKTOP_SHOTS:-}" ] && mkdir -p "$PELORIN_DESKTOP_SHOTS" && cp "$work"/*.png "$PELORIN_DESKTOP_SHOTS"/
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all desktop checks passed"
