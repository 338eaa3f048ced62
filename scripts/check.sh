#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
#   scripts/check.sh            the warnings-as-errors debug build and every test
#   scripts/check.sh asan       the same suite under ASan+UBSan (clang, libFuzzer smoke runs)
#   scripts/check.sh tsan       the threaded tests under TSan
# Extra arguments after the preset go to ctest (for example -L fuzz or -LE kernel).
# PELORIN_TARGETS="a b" builds only those targets (tests of unbuilt targets are not run).
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-debug}"
shift || true

bash scripts/bootstrap.sh
cmake --preset "$preset" >/dev/null
if [ -n "${PELORIN_TARGETS:-}" ]; then
  # shellcheck disable=SC2086
  cmake --build --preset "$preset" --target $PELORIN_TARGETS
else
  cmake --build --preset "$preset"
fi

# GUI tests need a display; give them a virtual one when none is there.
run() {
  if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  else
    "$@"
  fi
}
run ctest --preset "$preset" -j "$(nproc)" "$@"
