#!/bin/sh
# Runs a GUI test binary on a display: the caller's when it has one and no screen size is
# asked for, otherwise a virtual one of the given size. Exit status 77 (skipped) when no
# display can be had.
#   run_gui_test.sh WIDTHxHEIGHT|- program [arguments...]
size="$1"
shift
if [ "$size" = "-" ] && [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
[ "$size" = "-" ] && size=1280x1024
command -v xvfb-run >/dev/null 2>&1 || { echo "no xvfb-run: skipped"; exit 77; }
exec xvfb-run -a -s "-screen 0 ${size}x24" "$@"
