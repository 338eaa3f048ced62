#!/usr/bin/env bash
# package_test.sh BUILD_DIR SCRATCH_DIR CONSUMER_SOURCE_DIR [PYTHON]
# Packs the build into a .deb, unpacks it into a scratch root with dpkg -x, checks what it
# holds, runs its command-line programs from there, and builds and runs a C program against
# its corlink both with pkg-config and with find_package(corlink). With PYTHON (the build
# has the Python module): `import pelorin` from the unpacked package and from a clean
# `cmake --install` prefix, each on its own libcorlink.
set -euo pipefail
build="$1"
scratch="$2"
consumer="$3"
python="${4:-}"

rm -rf "$scratch"
mkdir -p "$scratch"
fail() {
  echo "package test: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb="$(ls "$scratch"/out/*.deb)"
echo "package: $(basename "$deb")"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Depends\):/  \1:/p'

root="$scratch/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
for f in bin/pelorin bin/panelsim bin/corlink bin/pelorin-capture \
  include/corlink.h lib/pkgconfig/corlink.pc \
  lib/cmake/corlink/corlinkConfig.cmake lib/cmake/corlink/corlinkConfigVersion.cmake \
  share/applications/pelorin.desktop share/pixmaps/pelorin.xpm \
  share/pelorin/PLsetting.ini share/pelorin/help/pelorin.hhp; do
  [ -e "$usr/$f" ] || fail "missing /usr/$f"
done
[ -e "$root/etc/udev/rules.d/70-corlink.rules" ] || fail "missing the udev rule"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/udev/rules.d/70-corlink.rules ||
  fail "the udev rule is not a configuration file of the package"
# The library: real file, soname link, development link; the soname is what hosts record.
real="$(readlink -f "$usr/lib/libcorlink.so")"
[ -f "$real" ] && [ -L "$usr/lib/libcorlink.so.1" ] || fail "libcorlink.so links are wrong"
objdump -p "$real" | grep -q 'SONAME *libcorlink\.so\.1$' || fail "libcorlink has no soname libcorlink.so.1"
grep -q '^Exec=pelorin$' "$usr/share/applications/pelorin.desktop" || fail "desktop entry"

export LD_LIBRARY_PATH="$usr/lib"

# The command-line programs start from the unpacked tree, on its library, and know their
# options.
for prog in corlink pelorin-capture; do
  out="$("$usr/bin/$prog" --help)" || fail "$prog --help exited with status $?"
  grep -qi "^usage: $prog " <<<"$out" || fail "$prog --help printed no usage line: $out"
  libs="$(ldd "$usr/bin/$prog")"
  grep -q "libcorlink.so.1 => $usr/lib/" <<<"$libs" || fail "$prog does not load the unpacked libcorlink"
done

# With pkg-config: the .pc file finds its prefix from where it lies.
flags="$(PKG_CONFIG_PATH="$usr/lib/pkgconfig" PKG_CONFIG_LIBDIR=/nonexistent \
  pkg-config --cflags --libs corlink)"
echo "pkg-config: $flags"
# shellcheck disable=SC2086
cc -Wall -Werror -o "$scratch/consumer_pc" "$consumer/consumer.c" $flags
"$scratch/consumer_pc"
ldd "$scratch/consumer_pc" | grep -q "libcorlink.so.1 => $usr/lib/" ||
  fail "the pkg-config build did not link the unpacked libcorlink"

# With find_package: a CMake project of its own, pointed at the unpacked prefix only.
cmake -S "$consumer" -B "$scratch/consumer_build" -G Ninja -DCMAKE_PREFIX_PATH="$usr" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF \
  >"$scratch/consumer_cmake.log" 2>&1 || { cat "$scratch/consumer_cmake.log"; fail "find_package(corlink)"; }
cmake --build "$scratch/consumer_build" >>"$scratch/consumer_cmake.log" 2>&1 ||
  { cat "$scratch/consumer_cmake.log"; fail "building against corlink::corlink"; }
"$scratch/consumer_build/consumer"
grep -q "corlink_DIR:PATH=$usr/lib/cmake/corlink" "$scratch/consumer_build/CMakeCache.txt" ||
  fail "find_package found a corlink other than the unpacked one"
# The Python module: imported by the interpreter it was built for, from the package's
# dist-packages folder, with no library path set (its run path finds libcorlink), and used.
check_python() { # PACKAGE_FOLDER LIB_FOLDER
  env -u LD_LIBRARY_PATH PYTHONPATH="$1" PYTHONDONTWRITEBYTECODE=1 "$python" - "$2" "$scratch" <<'EOF'
import os, sys
import numpy as np
import pelorin
lib, scratch = sys.argv[1], sys.argv[2]
maps = [line.split()[-1] for line in open("/proc/self/maps") if "libcorlink" in line]
assert maps and all(os.path.realpath(m).startswith(os.path.realpath(lib)) for m in maps), maps
path = os.path.join(scratch, "import-check.csv")
if os.path.exists(path):
    os.remove(path)
pelorin.write_recording(path, np.arange(24, dtype=np.int32).reshape(2, 3, 4))
assert pelorin.read_recording(path).frames.sum() == sum(range(24))
print("import pelorin:", pelorin.__file__)
EOF
}
if [ -n "$python" ]; then
  pydir="$usr/lib/python3/dist-packages"
  for f in pelorin/__init__.py pelorin/__init__.pyi pelorin/py.typed; do
    [ -e "$pydir/$f" ] || fail "missing /usr/lib/python3/dist-packages/$f"
  done
  ls "$pydir"/pelorin/_pelorin*.so >/dev/null 2>&1 || fail "missing the pelorin extension module"
  dpkg-deb --field "$deb" Depends | grep -q python3-numpy ||
    fail "the package does not depend on python3-numpy"
  check_python "$pydir" "$usr/lib" || fail "import pelorin from the package"

  # Installed for real, those folders are where this interpreter looks by itself: the
  # package's /usr/lib/python3/dist-packages, and cmake --install's default /usr/local.
  version="$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
  env -u PYTHONPATH "$python" -c "import sys; missing = {'/usr/lib/python3/dist-packages',
    '/usr/local/lib/python$version/dist-packages'} - set(sys.path); assert not missing, missing" ||
    fail "the interpreter does not look where the package goes"

  prefix="$scratch/prefix"
  cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log"; fail "cmake --install"; }
  check_python "$prefix/lib/python$version/dist-packages" "$prefix/lib" ||
    fail "import pelorin from cmake --install"
fi
echo "package test: passed"
