#!/bin/bash
# Runs a GUI test binary on a display: the caller's when it has one and no screen size is
# asked for, otherwise a virtual screen of the given size of its own. Exit status 77
# (skipped) when no display can be had.
#   run_gui_test.sh WIDTHxHEIGHT|- program [arguments...]
size="$1"
shift
# Under LeakSanitizer, leave the desktop libraries' own allocations out of the report.
LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan_gui.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
# Under ThreadSanitizer, leave out the memory traffic of the uninstrumented desktop libraries
# (GLib, fontconfig, pango and Mesa run threads of their own whose locks it cannot see).
# Accesses made by the viewer's own code are still checked; a lock it cannot see can only
# add reports there, never hide one.
TSAN_OPTIONS="ignore_noninstrumented_modules=1${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
export TSAN_OPTIONS

# Runs the program, and once more (saying so) when it failed for one of two reasons
# outside the program, seen now and then on a loaded machine:
# - the X server refused Mesa's GL context: the software renderer fell back to an
#   indirect context that Xvfb refuses. The viewer survives that without a map ("OpenGL
#   is not available"), but a test that looks at the map then fails; a program built
#   before that change dies of the X error instead;
# - LeakSanitizer's own thread crashed while stopping the program's threads for the leak
#   check at exit ("encountered a fatal error"; a leak is reported differently).
# Any other failure counts at once, and so does a failure of the second run.
# With PELORIN_GUI_RERUNS naming a file, every rerun adds a line to it, so that the test
# run as a whole can tell a rare hiccup from a machine where it happens all the time.
rerun_reason() {
  local out="$1"
  if grep -q "request_code [0-9]* (GLX)" "$out"; then
    echo "the X server refused a GL context"
  elif [ "${PELORIN_NO_GL:-}" != "1" ] && grep -q "OpenGL is not available: " "$out"; then
    echo "the X server refused a GL context"
  elif grep -q "LeakSanitizer has encountered a fatal error" "$out" &&
    ! grep -q "LeakSanitizer: detected memory leaks" "$out"; then
    echo "the leak checker itself failed"
  fi
}

# Both streams are kept to be searched: a test that runs the program prints what the program
# said in its failure message, on standard output.
run() {
  local out status reason
  out="$(mktemp)"
  "$@" 2>&1 | tee "$out"
  status=${PIPESTATUS[0]}
  reason=""
  [ "$status" -ne 0 ] && reason="$(rerun_reason "$out")"
  rm -f "$out"
  if [ -n "$reason" ]; then
    echo "run_gui_test.sh: $reason; running once more" >&2
    if [ -n "${PELORIN_GUI_RERUNS:-}" ]; then
      echo "$(basename "$1") ${*:2}: $reason" >>"$PELORIN_GUI_RERUNS"
    fi
    "$@"
    status=$?
  fi
  return "$status"
}

if [ "$size" = "-" ] && [ -n "${DISPLAY:-}" ]; then
  run "$@"
  exit $?
fi
[ "$size" = "-" ] && size=1280x1024
command -v Xvfb >/dev/null 2>&1 || { echo "no Xvfb: skipped"; exit 77; }

# Xvfb picks a free display number itself and writes it to descriptor 3, so that test
# runs started at the same moment never fight over one.
numfile="$(mktemp)"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -f "$numfile"' EXIT
tries=0
while [ ! -s "$numfile" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
    echo "Xvfb did not start: skipped"
    exit 77
  fi
  sleep 0.1
done
DISPLAY=":$(head -n1 "$numfile")" run "$@"
