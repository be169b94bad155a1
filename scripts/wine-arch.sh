# shellcheck shell=bash
# How Wine runs on this machine. Sourced by lib.sh and wine-run; sets variables only.
# Some kernels refuse every 32-bit x86 program, Wine's 32-bit loader included, and the
# `wine`, `wineboot` and `winepath` commands all go through that loader first. There,
# x64 programs run through the 64-bit loader in a prefix made by it alone; x86 ones
# cannot run at all.

wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64
cannot_run_32bit="this machine cannot execute 32-bit programs"

# probe_32bit [LOADER] [SECONDS]: true when LOADER, Wine's 32-bit loader by default, runs
# and names its version within SECONDS (default 20). Otherwise false, with the reason
# in probe_32bit_reason.
probe_32bit() {
  local loader=${1:-$wine32_loader} limit=${2:-20} out rc=0
  probe_32bit_reason=""
  if [ ! -e "$loader" ]; then
    probe_32bit_reason="Wine's 32-bit loader $loader is not installed (package wine32:i386)"
    return 1
  fi
  # bash's own exec: timeout's execvp would hand a refused binary to /bin/sh, which then
  # reports a syntax error instead of the real cause.
  # shellcheck disable=SC2016  # "$0" is expanded by the inner bash, as meant
  out=$(timeout -k 5 "$limit" bash -c 'exec "$0" --version' "$loader" 2>&1 </dev/null) || rc=$?
  if [ $rc -eq 0 ] && [[ $out == wine-* ]]; then
    return 0
  elif [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    probe_32bit_reason="Wine's 32-bit loader $loader did not answer within $limit s"
  elif [ $rc -eq 126 ] || [[ $out == *"Exec format error"* ]]; then
    probe_32bit_reason=$cannot_run_32bit
  else
    probe_32bit_reason="Wine's 32-bit loader $loader failed (exit $rc): ${out:0:200}"
  fi
  return 1
}

# choose_wine_arch PREFIX_DIR: decides once per run, exporting the answer to the scripts
# and tests it starts (KESTRIN_WINE_ARCH, and KESTRIN_NO_32BIT with the reason when
# 32-bit programs cannot run). Sets:
#   wine_arch   wow64 (both architectures) or win64 (x64 only)
#   wine        the command that runs a Windows program (or wineboot, reg...)
#   wine64      the 64-bit loader itself: an x64 program as our own child process
#   prefix      PREFIX_DIR for wow64, PREFIX_DIR-win64 for win64: a prefix made one way
#               cannot serve the other
# and exports WINEARCH and WINELOADER for win64, clears them for wow64.
# shellcheck disable=SC2034  # wine, wine64 and prefix are read by the scripts that source this
choose_wine_arch() {
  case ${KESTRIN_WINE_ARCH:-} in
    wow64 | win64) wine_arch=$KESTRIN_WINE_ARCH ;;
    *)
      if probe_32bit "$wine32_loader"; then
        wine_arch=wow64
        unset KESTRIN_NO_32BIT
      else
        wine_arch=win64
        export KESTRIN_NO_32BIT=$probe_32bit_reason
      fi ;;
  esac
  export KESTRIN_WINE_ARCH=$wine_arch
  wine64=$wine64_loader
  if [ "$wine_arch" = wow64 ]; then
    unset WINEARCH WINELOADER
    wine=wine
    prefix=$1
  else
    export WINEARCH=win64 WINELOADER=$wine64_loader
    wine=$wine64_loader
    prefix=$1-win64
  fi
}
