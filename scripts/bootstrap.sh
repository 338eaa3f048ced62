#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and the demo need.
# Idempotent and non-interactive; uses sudo only when not root.
set -euo pipefail

PACKAGES=(
  # toolchain
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config ccache
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev python3-pandas
  # viewer: wxWidgets 3.2 (GTK 3), OpenGL 1.1 and GLU, a CJK font for the About box
  libwxgtk3.2-dev libwxgtk-gl3.2-1 libgl-dev libglu1-mesa-dev libgl1-mesa-dri fonts-wqy-microhei
  # GUI tests and the demo on a headless machine
  xvfb xauth x11-utils
  # the desktop acceptance tests: a window manager, real X input, screenshots, ctags counts
  openbox xdotool imagemagick universal-ctags
  # pelorin-capture: PNG heat maps, and the MAT-file checks of its tests
  libpng-dev octave python3-scipy
  # the real-kernel end-to-end test
  qemu-system-x86 busybox-static cpio kmod
  # the package test: cpack -G DEB with its shared-library dependencies
  dpkg-dev file
  # the Python module: pybind11, the interpreter's headers, numpy, and pytest for its tests
  pybind11-dev python3-dev python3-numpy python3-pytest
  # JSON in the tests of the programs' machine-readable output, and the schema check of
  # pelorin-capture's line report
  nlohmann-json3-dev python3-jsonschema
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
