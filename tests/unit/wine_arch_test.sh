#!/usr/bin/env bash
# The scripts choose how to run Wine from what this machine can execute. Checked here
# against stand-in loaders, whatever the machine running the test can do.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/wine-arch.sh
source "$root/scripts/wine-arch.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# probe WHAT WANT_STATUS REASON_PATTERN LOADER [SECONDS]
probe() {
  local what=$1 want=$2 pattern=$3 status=0
  shift 3
  probe_32bit "$@" || status=1
  # shellcheck disable=SC2053 # the reason is matched against a glob pattern
  if [ $status -ne "$want" ] || [[ $probe_32bit_reason != $pattern ]]; then
    fail "$what: status $status, reason \"$probe_32bit_reason\""
  else
    echo "ok: $what"
  fi
}

# A header the kernel cannot load fails exactly as a 32-bit program does on a kernel
# without 32-bit support: execve says "Exec format error".
printf '\177ELF\001\001\001\000\000not a program' >"$work/refused"
printf '#!/bin/sh\necho "wine-8.0 (stand-in)"\n' >"$work/works"
printf '#!/bin/sh\nsleep 60\n' >"$work/hangs"
printf '#!/bin/sh\necho "could not load ntdll.so" >&2\nexit 1\n' >"$work/broken"
chmod +x "$work"/*

probe "a loader the kernel refuses" 1 "this machine cannot execute 32-bit programs" "$work/refused"
probe "a loader that works" 0 "" "$work/works"
SECONDS=0
probe "a loader that hangs" 1 "*did not answer within 2 s" "$work/hangs" 2
[ $SECONDS -le 10 ] || fail "the hanging loader held the probe for $SECONDS s"
probe "a loader that fails otherwise" 1 "*failed (exit 1): could not load ntdll.so" "$work/broken"
probe "a missing loader" 1 "*is not installed*" "$work/missing"

# expect_choice WHAT ARCH PREFIX WINE WINEARCH NO_32BIT
expect_choice() {
  local got="$wine_arch|$prefix|$wine|${WINEARCH:-}|${WINELOADER:-}|${KESTRIN_WINE_ARCH:-}|${KESTRIN_NO_32BIT:-}"
  local want="$2|$3|$4|$5|$6|$2|$7"
  if [ "$got" != "$want" ]; then fail "$1: got $got, wanted $want"; else echo "ok: $1"; fi
}

unset KESTRIN_WINE_ARCH KESTRIN_NO_32BIT WINEARCH WINELOADER
wine32_loader=$work/refused
choose_wine_arch /clone/build/wineprefix
expect_choice "no 32-bit: 64-bit loader, its own prefix" win64 /clone/build/wineprefix-win64 \
  "$wine64_loader" win64 "$wine64_loader" "this machine cannot execute 32-bit programs"

# Scripts started by that run take its answer instead of probing again.
wine32_loader=$work/works
choose_wine_arch /clone/build/wineprefix
expect_choice "a child script keeps its parent's choice" win64 /clone/build/wineprefix-win64 \
  "$wine64_loader" win64 "$wine64_loader" "this machine cannot execute 32-bit programs"

unset KESTRIN_WINE_ARCH
choose_wine_arch /clone/build/wineprefix
expect_choice "32-bit works: the wine command, the WoW64 prefix" wow64 /clone/build/wineprefix \
  wine "" "" ""

[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
