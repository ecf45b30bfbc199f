# Builds the Debian package from the build tree, unpacks it into a temporary
# root and runs the installed showcase with the installed kelvo-vm.
# Usage: package_install_test.sh BUILD_DIR WORK_DIR ARCHITECTURE [EMULATOR...]
# The package must be for the Debian ARCHITECTURE; the EMULATOR command, in
# a cross build, runs its programs.
set -eu
. "$(dirname "$0")/run_showcase.sh"

build=$1
work=$2
architecture=$3
shift 3
emulator="$*"
rm -rf "$work"
mkdir -p "$work/package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work/package"/kelvo_*.deb)

# The package declares what it needs and holds what it promises.
expect "architecture of the package" "$(dpkg-deb -f "$deb" Architecture)" "$architecture"
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in
  *libqt6gui6*) ;;
  *) echo "no Qt dependency in: $depends"; exit 1 ;;
esac
case "$depends" in
  *libpulse-mainloop-glib0*) ;;
  *) echo "no PulseAudio dependency in: $depends"; exit 1 ;;
esac
dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/kelvo-vm usr/bin/kelvo-asm usr/bin/kelvo-dis \
            usr/share/man/man1/kelvo-vm.1 usr/share/man/man1/kelvo-asm.1 usr/share/man/man1/kelvo-dis.1 \
            usr/share/applications/kelvo-showcase.desktop \
            usr/share/kelvo/examples/showcase/index.mcb usr/share/kelvo/examples/showcase/font.png \
            usr/share/kelvo/examples/showcase/tap.raw; do
  [ -e "$work/root/$file" ] || { echo "the package lacks $file"; exit 1; }
done
grep -q "^Path=/usr/share/kelvo/examples/showcase$" "$work/root/usr/share/applications/kelvo-showcase.desktop" \
  || { echo "the desktop entry does not run the example"; exit 1; }
# Every program is built for the package's machine: a build that ran the
# host's compiler somewhere would still make a package that installs.
case "$architecture" in
  amd64) machine="Advanced Micro Devices X86-64" ;;
  arm64) machine="AArch64" ;;
  *) machine="" ;;
esac
for program in "$work"/root/usr/bin/*; do
  got=$(readelf -h "$program" | sed -n 's/^ *Machine: *//p')
  [ -z "$machine" ] || expect "machine of $program" "$got" "$machine"
done

# The unpacked tree is writable, so the example can keep its state there.
showcase="$work/root/usr/share/kelvo/examples/showcase"
run_showcase "$work/root/usr/bin/kelvo-vm" "$showcase" "$work/run.log"
expect "state of the installed example" "$(state_bytes "$showcase")" "1 0 25 45"
$emulator "$work/root/usr/bin/kelvo-dis" "$showcase/index.mcb" >/dev/null
