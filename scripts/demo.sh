#!/usr/bin/env bash
# Installs what is needed, builds, and starts the viewer on an emulated panel.
# The viewer runs in a scratch working directory with a copy of the default PLsetting.ini;
# the emulator is stopped when the viewer closes. Extra arguments go to panelsim.
set -euo pipefail
cd "$(dirname "$0")/.."
top="$PWD"

bash scripts/bootstrap.sh
cmake --preset release >/dev/null
# Only what the demo runs: the viewer (with its help book) and the emulator.
cmake --build --preset release --target pelorin panelsim

bin="$top/build/release/bin"
work="$(mktemp -d "${TMPDIR:-/tmp}/pelorin-demo.XXXXXX")"
cp "$top/viewer/resources/PLsetting.ini" "$work/"
# The demo opens on difference data, where the emulated fingers move across the panel,
# seen from the free 3-D view point (the defaults, Base seen from the side, are still).
sed -i -e 's/^SOURCE_TYPE=.*/SOURCE_TYPE=6/' -e 's/^VIEW_POINT=.*/VIEW_POINT=0/' "$work/PLsetting.ini"
# A folder of our own for the emulated device, so that stale sockets never get in the way.
export CORLINK_VIRTUAL_DIR="$work/virtual"
mkdir -p "$CORLINK_VIRTUAL_DIR"

sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# The SNR page takes the first 100 frames of a Diff run as untouched: the emulated
# fingers stay off the panel until frame 110 (one emulated frame per frame the viewer
# reads), so the noise is measured without a finger and the touched frames have one.
if [ -x "$bin/panelsim" ]; then
  "$bin/panelsim" --type z3usb --chips 3 --touch-from 110 "$@" &
  sim_pid=$!
  echo "demo: panelsim running (pid $sim_pid), device folder $CORLINK_VIRTUAL_DIR"
fi

# Without a desktop, show the window on a virtual screen.
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :77 -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:77
  echo "demo: no DISPLAY; viewer runs on the virtual screen $DISPLAY"
fi

echo "demo: working directory $work"
cd "$work"
"$bin/pelorin"
