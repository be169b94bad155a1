#!/usr/bin/env bash
# A test killed by a timeout cannot put back the display mode and gamma ramp it changed:
# the next wine-run puts the test display back as it started, and does nothing of the kind
# after a program that ended by itself. Usage: wine_run_killed_test.sh WINE_RUN BIN_DIR.
set -u
wine_run=$1
standin=$2/standin.exe
: "${KESTRIN_DISPLAY_START:?is exported by scripts/test: the size the test display started at}"
work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
trap '"$wine_run" "$standin" --display $KESTRIN_DISPLAY_START >/dev/null 2>&1; rm -rf "$work"' EXIT

# expect SIZE GAMMA WHAT: current and registry size, then the ramp, as a fresh process sees them.
expect() {
  local out
  out=$("$wine_run" "$standin" --display 2>>"$work/err" | tr -d '\r' | sed -E '1,2s/^([0-9]+ [0-9]+) .*/\1/' | tr '\n' '|')
  [ "$out" = "$1|$1|$2|" ] || fail "$3: standin --display printed $out"
}

"$wine_run" "$standin" --display 1024 768 1.6 >/dev/null || fail "standin --display could not change the display"
expect "1024 768" "gamma 21588 21588 21588" "after a program that ended by itself"
[ ! -s "$work/err" ] || fail "wine-run reported after a program that ended by itself: $(cat "$work/err")"

# Killed the way ctest ends a test past its time: the whole tree at once.
{ "$wine_run" "$standin" >/dev/null 2>&1 & } 2>/dev/null
runner=$!
for _ in $(seq 300); do [ -f "$WINEPREFIX/.kestrin-running/$runner" ] && break; sleep 0.1; done
[ -f "$WINEPREFIX/.kestrin-running/$runner" ] || fail "wine-run left no mark of its running program"
sleep 2  # the stand-in is up
kill_tree() {
  kill -STOP "$1" 2>/dev/null
  # shellcheck disable=SC2013  # each file is one line of process ids separated by spaces
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do kill_tree "$child"; done
  kill -KILL "$1" 2>/dev/null
}
kill_tree "$runner"
wait "$runner" 2>/dev/null

expect "${KESTRIN_DISPLAY_START}" "gamma 32896 32896 32896" "after a killed program"  # 128 * 257: identity
grep -q "was killed; display mode and gamma ramp put back" "$work/err" ||
  fail "wine-run did not say what it put back: $(cat "$work/err")"
[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "ok: the display is put back after a killed program, and only then"
