# Builds the Debian package from the build tree, unpacks it into a temporary
# root and runs the installed showcase with the installed kelvo-run, as a
# user who cannot write there, and with the installed kelvo-vm.
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

# The desktop entry runs kelvo-run on the installed example. A user who is
# not root cannot write there, so the example keeps its state in the user's
# save directory, run after run, and the installed tree stays as it was.
grep -q "^Exec=kelvo-run /usr/share/kelvo/examples/showcase$" "$work/root/usr/share/applications/kelvo-showcase.desktop" \
  || { echo "the desktop entry does not run the example with kelvo-run"; exit 1; }
showcase="$work/root/usr/share/kelvo/examples/showcase"
mkdir "$work/home"
if [ "$(id -u)" -eq 0 ]; then
  chown 65534:65534 "$work/home"
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
else
  chmod a-w "$showcase"
  as_user=""
fi
for run in 1 2; do
  HOME="$work/home" PULSE_SERVER=unix:/nonexistent ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
    $as_user env -u XDG_DATA_HOME $emulator "$work/root/usr/bin/kelvo-run" --headless --millis 500 "$showcase" \
    >"$work/user$run.log" 2>&1 || { echo "kelvo-run failed for the user:"; cat "$work/user$run.log"; exit 1; }
  if grep -q -e "Sanitizer" -e "runtime error" -e "could not be" "$work/user$run.log"; then
    echo "the showcase failed for the user:"; cat "$work/user$run.log"; exit 1
  fi
done
chmod u+w "$showcase"
expect "state kept for the user" "$(state_bytes "$work"/home/.local/share/kelvo/showcase-*)" "2 0 25 45"
[ ! -e "$showcase/state.bin" ] || { echo "the user's run wrote into the installed tree"; exit 1; }

# The unpacked tree is writable, so the example can keep its state there.
run_showcase "$work/root/usr/bin/kelvo-vm" "$showcase" "$work/run.log"
expect "state of the installed example" "$(state_bytes "$showcase")" "1 0 25 45"
$emulator "$work/root/usr/bin/kelvo-dis" "$showcase/index.mcb" >/dev/null
