#!/usr/bin/env bash
# A test killed by a timeout cannot put back the display mode and gamma ramp it changed.
# wine-run notices the killed run on its next start and puts the test display back as
# it started, and does nothing of the kind after a program that ended by itself.
# Usage: wine_run_killed_test.sh WINE_RUN BIN_DIR (run by ctest under scripts/test).
set -u
wine_run=$1
bin=$2
: "${KESTRIN_DISPLAY_START:?is exported by scripts/test: the size the test display started at}"
read -r width height <<<"$KESTRIN_DISPLAY_START"
identity="gamma 32896 32896 32896"   # entry 128 of the identity ramp: 128 * 257
work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  "$wine_run" "$bin/display_probe.exe" "$width" "$height" >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT

# probe EXPECTED_SIZE EXPECTED_GAMMA WHAT: the display as a fresh process sees it.
probe() {
  local out
  out=$("$wine_run" "$bin/display_probe.exe" 2>>"$work/err" | tr -d '\r')
  if [ "$(sed -n '1s/^\([0-9]* [0-9]*\) .*/\1/p; 2s/^\([0-9]* [0-9]*\) .*/\1/p; 3p' <<<"$out" | tr '\n' '|')" \
       != "$1|$1|$2|" ]; then
    fail "$3: display_probe printed: $(tr '\n' '|' <<<"$out")"
  fi
}

# A test changes the mode, the registry's mode and the ramp, and ends by itself:
# nothing is put back for it.
"$wine_run" "$bin/display_probe.exe" 1024 768 1.6 >/dev/null || fail "display_probe could not change the display"
probe "1024 768" "gamma 21588 21588 21588" "after a program that ended by itself"
[ ! -s "$work/err" ] || fail "wine-run reported after a program that ended by itself: $(cat "$work/err")"

# The next one is killed the way ctest ends a test past its time: the whole tree at once.
{ "$wine_run" "$bin/standin.exe" >/dev/null 2>&1 & } 2>/dev/null
runner=$!
for _ in $(seq 300); do [ -f "$WINEPREFIX/.kestrin-running/$runner" ] && break; sleep 0.1; done
[ -f "$WINEPREFIX/.kestrin-running/$runner" ] || fail "wine-run left no mark of its running program"
sleep 2  # the stand-in is up
kill_tree() {
  local child
  kill -STOP "$1" 2>/dev/null
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do kill_tree "$child"; done
  kill -KILL "$1" 2>/dev/null
}
kill_tree "$runner"
wait "$runner" 2>/dev/null || true

probe "$width $height" "$identity" "after a killed program"
grep -q "was killed; display mode and gamma ramp put back" "$work/err" ||
  fail "wine-run did not say what it put back: $(cat "$work/err")"

[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "ok: the display is put back after a killed program, and only then"
