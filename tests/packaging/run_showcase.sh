# Sourced by the packaging tests. run_showcase VM DIRECTORY LOG runs the
# showcase in DIRECTORY for five seconds without a sound server, and fails
# unless it was still running then (a fatal error ends the process with
# status 1), made no sanitizer report, and logged that it started. The
# command in $emulator, when the caller sets one, runs VM.
run_showcase() {
  status=0
  (cd "$2" && PULSE_SERVER=unix:/nonexistent timeout 5 ${emulator:-} "$1") >"$3" 2>&1 || status=$?
  if [ "$status" -ne 124 ]; then
    echo "the showcase ended with status $status instead of running on:"; cat "$3"; exit 1
  fi
  if grep -q -e "Sanitizer" -e "runtime error" "$3"; then
    echo "the showcase failed:"; cat "$3"; exit 1
  fi
  grep -q "^LOG: showcase runs" "$3" || { echo "the showcase did not start:"; cat "$3"; exit 1; }
}

# state_bytes DIRECTORY: the bytes of its state.bin as decimal numbers.
state_bytes() {
  od -An -v -tu1 "$1/state.bin" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# expect WHAT GOT WANTED
expect() {
  if [ "$2" != "$3" ]; then
    echo "$1: got '$2', wanted '$3'"; exit 1
  fi
}
