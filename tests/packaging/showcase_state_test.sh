# The showcase remembers its runs in state.bin: the first run writes it, the
# second reads it back and counts on; a file too short to hold the state
# counts as no file; one that cannot be written is lost while the
# application runs on. Usage: showcase_state_test.sh KELVO_VM EXAMPLE_DIR WORK_DIR
set -eu
. "$(dirname "$0")/run_showcase.sh"

vm=$1
work=$3
rm -rf "$work"
mkdir -p "$work"
cp "$2/index.mcb" "$2/font.png" "$2/tap.raw" "$work/"

run_showcase "$vm" "$work" "$work/run1.log"
# runs, taps, x / 4, y / 4: the box starts at (100, 180)
expect "state after the first run" "$(state_bytes "$work")" "1 0 25 45"

run_showcase "$vm" "$work" "$work/run2.log"
expect "state after the second run" "$(state_bytes "$work")" "2 0 25 45"
grep -A1 "^LOG: showcase runs" "$work/run2.log" | grep -q "^LOG: 2$" || { echo "run 2 not logged"; exit 1; }

printf '\011\011' >"$work/state.bin"
run_showcase "$vm" "$work" "$work/run3.log"
expect "state after a short file" "$(state_bytes "$work")" "1 0 25 45"

# A state that can be neither read nor written is lost, not fatal.
rm -f "$work/state.bin"
mkdir "$work/state.bin"
run_showcase "$vm" "$work" "$work/run4.log"
grep -q "^LOG: showcase: state.bin could not be written$" "$work/run4.log" \
  || { echo "the failed save was not reported:"; cat "$work/run4.log"; exit 1; }
