#!/usr/bin/env bash
# package_test.sh BUILD_DIR SCRATCH_DIR CONSUMER_SOURCE_DIR
# Packs the build into a .deb, unpacks it into a scratch root with dpkg -x, checks what it
# holds, runs its command-line programs from there, and builds and runs a C program against
# its corlink both with pkg-config and with find_package(corlink).
set -euo pipefail
build="$1"
scratch="$2"
consumer="$3"

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
echo "package test: passed"
