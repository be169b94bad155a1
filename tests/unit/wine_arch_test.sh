#!/usr/bin/env bash
# The scripts' choice of Wine loader, against stand-in loaders that are refused, work, hang
# and fail, whatever the machine running the test can execute.
set -u
# shellcheck source=scripts/wine-arch.sh
source "$(dirname "$0")/../../scripts/wine-arch.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # WHAT GOT WANTED_GLOB
  # shellcheck disable=SC2053
  if [[ $2 == $3 ]]; then echo "ok: $1"; else echo "FAIL: $1: got \"$2\""; failures=$((failures + 1)); fi
}
probe() { probe_32bit "$@"; echo "$?|$probe_32bit_reason"; }
choose() {  # LOADER: the choice, and what it exports to the scripts the run starts
  wine32_loader=$1
  choose_wine_arch /b/wineprefix
  got="$wine_arch|$prefix|$wine|${WINEARCH:-}|${WINELOADER:-}|${KESTRIN_WINE_ARCH:-}|${KESTRIN_NO_32BIT:-}"
}

# A header the kernel cannot load fails exactly as a 32-bit program does on a kernel
# without 32-bit support: execve says "Exec format error".
printf '\177ELF\001\001\001\000\000not a program' >"$work/refused"
printf '#!/bin/sh\necho "wine-8.0 (stand-in)"\n' >"$work/works"
printf '#!/bin/sh\nsleep 60\n' >"$work/hangs"
printf '#!/bin/sh\necho "could not load ntdll.so" >&2\nexit 1\n' >"$work/broken"
chmod +x "$work"/*
no32="this machine cannot execute 32-bit programs"
check "a loader the kernel refuses" "$(probe "$work/refused")" "1|$no32"
SECONDS=0
check "a loader that hangs, for under 10 s" "$(probe "$work/hangs" 2)|$SECONDS" "1|*did not answer within 2 s|[0-9]"
check "a loader that fails otherwise" "$(probe "$work/broken")" "1|*failed (exit 1): could not load ntdll.so"
check "a missing loader" "$(probe "$work/missing")" "1|*is not installed*"

unset KESTRIN_WINE_ARCH KESTRIN_NO_32BIT WINEARCH WINELOADER
win64="win64|/b/wineprefix-win64|$wine64_loader|win64|$wine64_loader|win64|$no32"
choose "$work/refused"; check "no 32-bit: the 64-bit loader, its own prefix" "$got" "$win64"
choose "$work/works"; check "a child script keeps its parent's choice" "$got" "$win64"
unset KESTRIN_WINE_ARCH
choose "$work/works"; check "32-bit works: wine, the WoW64 prefix" "$got" "wow64|/b/wineprefix|wine|||wow64|"
[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
