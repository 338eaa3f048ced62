#!/usr/bin/env bash
# Real-kernel end-to-end test: boots Debian's kernel under qemu (TCG), loads hid, uhid and
# hid-generic, runs `panelsim --uhid` so the emulated panel becomes a real hidraw device,
# and runs the corlink probe against it. Exit 0 pass, 1 fail, 77 skipped (no qemu).
#
#   run_kernel_e2e.sh --cache DIR --work DIR --panelsim BIN --probe BIN [--timeout S]
#
# The kernel image and busybox-static packages are fetched once with `apt-get download`
# into the cache folder; everything else is rebuilt in the work folder on every run.
set -euo pipefail

cache="" work="" panelsim="" probe="" boot_timeout=240
while [ $# -gt 0 ]; do
  case "$1" in
    --cache) cache="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --panelsim) panelsim="$2"; shift 2 ;;
    --probe) probe="$2"; shift 2 ;;
    --timeout) boot_timeout="$2"; shift 2 ;;
    *) echo "kernel-e2e: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$cache" ] && [ -n "$work" ] && [ -x "$panelsim" ] && [ -x "$probe" ] || {
  echo "kernel-e2e: usage: $0 --cache DIR --work DIR --panelsim BIN --probe BIN" >&2; exit 2; }

if ! command -v qemu-system-x86_64 >/dev/null; then
  echo "kernel-e2e: qemu-system-x86_64 not installed; skipped"
  exit 77
fi
# Look for the option in the program rather than run it: an older panelsim serves forever.
if ! grep -aq -- "--uhid" "$panelsim"; then
  echo "kernel-e2e: this panelsim has no --uhid mode; skipped"
  exit 77
fi
for tool in dpkg-deb cpio gzip ldd apt-get; do
  command -v "$tool" >/dev/null || { echo "kernel-e2e: $tool missing" >&2; exit 1; }
done

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# --- packages (cached) -----------------------------------------------------------------
mkdir -p "$cache"
t_download=$(now)
kernel_deb=$(ls "$cache"/linux-image-*-amd64_*.deb 2>/dev/null | head -n1 || true)
if [ -z "$kernel_deb" ]; then
  resolve() { apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'; }
  pkg=$(resolve)
  if [ -z "$pkg" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq >/dev/null 2>&1 || true  # a fresh machine may have no package lists yet
    pkg=$(resolve)
  fi
  [ -n "$pkg" ] || { echo "kernel-e2e: cannot resolve linux-image-amd64 (apt-get update?)" >&2; exit 1; }
  (cd "$cache" && apt-get download -q "$pkg" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  kernel_deb=$(ls "$cache"/linux-image-*-amd64_*.deb 2>/dev/null | head -n1 || true)
  [ -n "$kernel_deb" ] || { echo "kernel-e2e: download of $pkg failed" >&2; exit 1; }
fi
busybox_deb=$(ls "$cache"/busybox-static_*.deb 2>/dev/null | head -n1 || true)
if [ -z "$busybox_deb" ]; then
  (cd "$cache" && apt-get download -q busybox-static 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  busybox_deb=$(ls "$cache"/busybox-static_*.deb 2>/dev/null | head -n1 || true)
  [ -n "$busybox_deb" ] || { echo "kernel-e2e: download of busybox-static failed" >&2; exit 1; }
fi
echo "kernel-e2e: packages ready in $(elapsed "$t_download") s ($(basename "$kernel_deb"))"

# --- kernel tree (extracted once per package) -------------------------------------------
t_total=$(now)
ktree="$cache/$(basename "$kernel_deb" .deb)"
if [ ! -d "$ktree/boot" ]; then
  rm -rf "$ktree.tmp" && mkdir -p "$ktree.tmp"
  dpkg-deb -x "$kernel_deb" "$ktree.tmp"
  mv "$ktree.tmp" "$ktree"
fi
kver=$(ls "$ktree/lib/modules" | head -n1)
vmlinuz="$ktree/boot/vmlinuz-$kver"
moddir="$ktree/lib/modules/$kver"

# --- initramfs ---------------------------------------------------------------------------
rm -rf "$work" && mkdir -p "$work/root"/{bin,dev,proc,sys,tmp,modules}
root="$work/root"
dpkg-deb --fsys-tarfile "$busybox_deb" | tar -x -O ./bin/busybox > "$root/bin/busybox"
chmod +x "$root/bin/busybox"

# Modules in load order: each one's dependencies first.
declare -A seen=()
order=()
add_module() {
  local name="$1" file dep
  [ -n "${seen[$name]:-}" ] && return 0
  seen[$name]=1
  file=$(find "$moddir/kernel" -name "$name.ko" -o -name "$name.ko.xz" | head -n1)
  [ -n "$file" ] || { echo "kernel-e2e: module $name not in $kver" >&2; exit 1; }
  case "$file" in
    *.xz) xz -dc "$file" > "$root/modules/$name.ko" ;;
    *) cp "$file" "$root/modules/$name.ko" ;;
  esac
  # The module's "depends=a,b" string in its .modinfo section.
  for dep in $(tr '\0' '\n' < "$root/modules/$name.ko" | sed -n 's/^depends=//p' | head -n1 | tr ',' ' '); do
    add_module "$dep"
  done
  order+=("$name.ko")
}
for m in hid uhid hid-generic; do add_module "$m"; done
printf '%s\n' "${order[@]}" > "$root/modules/order"

# The two programs with the shared libraries they load, at the same paths.
copy_program() {
  cp "$1" "$root/bin/$2"
  ldd "$1" | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^\//) print $i }' | while read -r lib; do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
  done
}
copy_program "$panelsim" panelsim
copy_program "$probe" kernel_probe

cat > "$root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do
  insmod /modules/$m || echo "KERNEL-E2E: insmod $m failed"
done
mkdir -p /tmp/virtual
export CORLINK_VIRTUAL_DIR=/tmp/virtual
/bin/panelsim --uhid --type z3usb --chips 1 --drive 20 --sense 16 > /tmp/panelsim.log 2>&1 &
sim=$!
cd /tmp
/bin/kernel_probe
echo "KERNEL-E2E: RESULT $?"
kill $sim 2>/dev/null
sleep 1
echo "KERNEL-E2E: panelsim said:"
cat /tmp/panelsim.log
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initramfs.gz"
echo "kernel-e2e: initramfs built in $(elapsed "$t_total") s"

# --- boot ----------------------------------------------------------------------------------
t_boot=$(now)
set +e
timeout --kill-after=10 "$boot_timeout" qemu-system-x86_64 \
  -accel tcg -m 512 -smp 1 -nographic -no-reboot \
  -kernel "$vmlinuz" -initrd "$work/initramfs.gz" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3 rdinit=/init" \
  < /dev/null > "$work/console.log" 2>&1
qemu_rc=$?
set -e
echo "kernel-e2e: boot and test took $(elapsed "$t_boot") s (qemu exit $qemu_rc); total without downloads $(elapsed "$t_total") s"
grep -a "KERNEL-E2E" "$work/console.log" || true
if grep -aq "KERNEL-E2E: RESULT 0" "$work/console.log"; then
  echo "kernel-e2e: passed"
  exit 0
fi
echo "kernel-e2e: failed; console output:"
tail -n 80 "$work/console.log"
exit 1
