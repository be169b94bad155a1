#!/usr/bin/env bash
# The scripts' helpers: ending what a killed run left behind, and choosing how Wine runs.
set -u
me=scripts_test
prefix_name=wineprefix-scripts-test
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# shellcheck disable=SC2053
check() { [[ $2 == $3 ]] || fail "$1: got \"$2\""; }  # WHAT GOT WANTED_GLOB
alive() { [ -d "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }

# A run killed outright leaves processes tagged with its tree, prefix and process id. The next run of that
# tree and prefix ends them, and spares those of a run still going and of another prefix or clone.
declare -A spare=()
spare_of() { KESTRIN_RUN_TAG=$2 sleep 300 & spare[$!]=$1; }
gone=$(bash -c 'echo $$')  # the process id of a run that has ended
sleep 300 & running_run=$!
KESTRIN_RUN_TAG="$run_tag_base$gone" sleep 300 & leftover=$!
spare_of "a run still going" "$run_tag_base$running_run"
spare_of "another prefix in this tree" "$root|wineprefix-run|$gone"
spare_of "another clone" "/another/clone|$prefix_name|$gone"
sleep 1  # every tagged process has started its program
end_leftovers >"$work/ended"
! alive "$leftover" || fail "the leftover of the ended run is still running"
check "the account of the ending" "$(<"$work/ended")" "Ending 1 processes left by a killed run*sleep 300*"
for pid in "${!spare[@]}"; do alive "$pid" || fail "a process of ${spare[$pid]} was ended"; done
check "this run's own tag" "${KESTRIN_RUN_TAG:-}" "$run_tag_base$$"

# The choice of Wine loader against stand-ins that are refused, work, hang and fail, whatever this machine
# can execute. A header the kernel cannot load fails as a 32-bit program does on a kernel without 32-bit
# support: execve says "Exec format error".
printf '\177ELF\001\001\001\000\000not a program' >"$work/refused"
printf '#!/bin/sh\necho "wine-8.0 (stand-in)"\n' >"$work/works"
printf '#!/bin/sh\nsleep 60\n' >"$work/hangs"
printf '#!/bin/sh\necho "could not load ntdll.so" >&2\nexit 1\n' >"$work/broken"
chmod +x "$work"/*
probe() { probe_32bit "$@"; echo "$?|$probe_32bit_reason"; }
no32="this machine cannot execute 32-bit programs"
check "a loader the kernel refuses" "$(probe "$work/refused")" "1|$no32"
SECONDS=0
check "a loader that hangs, for under 10 s" "$(probe "$work/hangs" 2)|$SECONDS" "1|*did not answer within 2 s|[0-9]"
check "a loader that fails otherwise" "$(probe "$work/broken")" "1|*failed (exit 1): could not load ntdll.so"
check "a missing loader" "$(probe "$work/missing")" "1|*is not installed*"
choose() {  # LOADER WHAT WANTED: the choice, and what it exports to the scripts the run starts
  wine32_loader=$1
  choose_wine_arch /b/wineprefix
  check "$2" "$wine_arch|$prefix|$wine|${WINEARCH:-}|${WINELOADER:-}|${KESTRIN_WINE_ARCH:-}|${KESTRIN_NO_32BIT:-}" "$3"
}
unset KESTRIN_WINE_ARCH KESTRIN_NO_32BIT WINEARCH WINELOADER
win64="win64|/b/wineprefix-win64|$wine64_loader|win64|$wine64_loader|win64|$no32"
choose "$work/refused" "no 32-bit: the 64-bit loader, its own prefix" "$win64"
choose "$work/works" "a child script keeps its parent's choice" "$win64"
unset KESTRIN_WINE_ARCH
choose "$work/works" "32-bit works: wine, the WoW64 prefix" "wow64|/b/wineprefix|wine|||wow64|"
[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
