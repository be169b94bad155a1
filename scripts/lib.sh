# shellcheck shell=bash
# Shared by scripts/test, scripts/run, scripts/package and scripts/screenshots: package
# install, preset builds, the private Xorg display, the Wine prefix and the cleanup trap.
# Sourced, not run. Callers set before sourcing (defaults in brackets):
#   me           name in error messages [scripts/test]
#   prefix_name  Wine prefix directory under build/ [wineprefix]
#   display_label  how start_display names its display [Test display]
# and may add commands to cleanup_hooks, run first (newest first) when the script ends.

me=${me:-scripts/test}
prefix_name=${prefix_name:-wineprefix}
display_label=${display_label:-Test display}

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
mkdir -p build/logs

say() { printf '\n== %s\n' "$*"; }

# ---------------------------------------------------------------- tree lock

# Two scripts in one tree would share the prefix and the build directories. fd 9 holds
# the lock: long-lived children must not inherit it (start them with 9>&-).
# lock_tree MESSAGE: MESSAGE is said when another run holds the lock.
lock_tree() {
  exec 9>build/.test.lock
  if ! flock -n 9; then
    echo "$1"
    flock 9
  fi
}

unlock_tree() {
  flock -u 9 2>/dev/null || true
  exec 9>&-
}

# ---------------------------------------------------------------- packages

packages=(
  mingw-w64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 wine32:i386 fonts-wine
  xserver-xorg-core xserver-xorg-video-dummy x11-utils
  cmake ninja-build g++ clang-14 libclang-rt-14-dev googletest libgtest-dev
  clang-format-14 shellcheck
)

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

install_missing() {
  local missing=() p
  for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "All required packages are installed."
    return 0
  fi
  say "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "$me: installing packages needs root; missing: ${missing[*]}" >&2
    exit 1
  fi
  # wine32 comes from the i386 archive, which apt only sees once multiarch is on.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  local log=build/logs/apt.log
  export DEBIAN_FRONTEND=noninteractive
  # Errors stay on the terminal; the routine progress goes to the log.
  if ! timeout 900 apt-get -qq -o DPkg::Lock::Timeout=300 update >"$log" \
     || ! timeout 1800 apt-get -qq -y -o DPkg::Lock::Timeout=300 -o Dpkg::Use-Pty=0 \
            install "${missing[@]}" >>"$log"; then
    echo "$me: apt failed or timed out; last lines of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
  for p in "${missing[@]}"; do
    installed "$p" || { echo "$me: $p is still not installed" >&2; exit 1; }
  done
  echo "Installed in $SECONDS s."
}

# ---------------------------------------------------------------- build

declare -A built=()

# build_preset PRESET [TARGET...]: configures every time (cheap when nothing changed)
# so edits to the presets take effect; ninja then rebuilds only what changed. With
# targets, builds only those.
build_preset() {
  local p=$1
  shift
  local key="$p${*:+ $*}"
  if [ -n "${built[$key]:-}" ]; then [ "${built[$key]}" = ok ]; return; fi
  say "Build $p${*:+ ($*)}"
  local log=build/logs/configure-$p.log fresh_cache=() targets=()
  # CMake keeps the compilers it found first: a changed toolchain file needs a
  # fresh cache, or the old compilers stay in use.
  if [ -f "build/$p/CMakeCache.txt" ] &&
     [ -n "$(find cmake -name 'mingw-*.cmake' -newer "build/$p/CMakeCache.txt")" ]; then
    case $p in x64|x86) fresh_cache=(--fresh) ;; esac
  fi
  if ! cmake --preset "$p" "${fresh_cache[@]}" >"$log" 2>&1; then
    echo "Configure of preset $p failed; last lines of $log:"
    tail -n 40 "$log"
    built[$key]=failed
    return 1
  fi
  [ $# -eq 0 ] || targets=(--target "$@")
  if ! cmake --build --preset "$p" "${targets[@]}"; then
    echo "Build of preset $p failed."
    built[$key]=failed
    return 1
  fi
  built[$key]=ok
}

# ---------------------------------------------------------------- leftovers of killed runs

# Every process a run starts carries KESTRIN_RUN_TAG: this tree, this prefix and the
# run's own process id. A run killed outright (SIGKILL, a lost terminal) leaves its X
# server, Wine server, programs and ctest behind; the next run in this tree ends those
# whose run is gone, and none of another clone's. It does so before it waits for the
# tree lock, which a leftover might hold.
run_tag_base="$root|$prefix_name|"

end_leftovers() {
  local ancestors=" " p=$$ dir pid tag owner victims=() names=() n
  while [ -n "$p" ] && [ "$p" -gt 1 ]; do
    ancestors+="$p "
    p=$(sed -n 's/^PPid:[[:space:]]*//p' "/proc/$p/status" 2>/dev/null)
  done
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    [[ $ancestors == *" $pid "* ]] && continue
    tag=$({ tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | sed -n 's/^KESTRIN_RUN_TAG=//p') || continue
    [[ -n $tag && $tag == "$run_tag_base"* ]] || continue
    owner=${tag##*|}
    # A run that is still going keeps its processes.
    [ "$owner" != "$pid" ] && kill -0 "$owner" 2>/dev/null && continue
    victims+=("$pid")
    names+=("$({ tr '\0' ' ' <"$dir/cmdline"; } 2>/dev/null | cut -c1-60 || true)")
  done
  # Set only now, so that nothing of this run's own was a candidate.
  export KESTRIN_RUN_TAG="$run_tag_base$$"
  [ ${#victims[@]} -gt 0 ] || return 0
  echo "Ending ${#victims[@]} processes left by a killed run in this tree:"
  printf '  %s\n' "${names[@]}"
  kill -TERM "${victims[@]}" 2>/dev/null
  for _ in $(seq 25); do
    kill -0 "${victims[@]}" 2>/dev/null || break
    sleep 0.2
  done
  kill -KILL "${victims[@]}" 2>/dev/null
  # A killed X server leaves its lock and socket; free the numbers ours held.
  for n in "${names[@]}"; do
    if [[ $n =~ ^[^\ ]*Xorg\ :([0-9]+) ]]; then
      n=${BASH_REMATCH[1]}
      sleep 0.2
      if ! kill -0 "$(tr -d ' ' 2>/dev/null <"/tmp/.X$n-lock" || echo 0)" 2>/dev/null; then
        rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
      fi
    fi
  done
  return 0
}

# ---------------------------------------------------------------- display and Wine

# shellcheck source=scripts/wine-arch.sh
source "$root/scripts/wine-arch.sh"

xorg_pid=""
display_num=""
display_start=""       # the test display's starting size, "W H"
wine_state=""          # "", ready or failed
wineserver_started=""
cleanup_hooks=()

prefix=""              # set by boot_prefix, once Wine is installed and probed
export WINEDEBUG=-all
# No Mono or Gecko installers; no crash debugger, so that a program that crashes ends at
# once instead of waiting in winedbg until its test's time runs out.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

cleanup() {
  local rc=$?
  set +e
  local i
  for ((i = ${#cleanup_hooks[@]} - 1; i >= 0; i--)); do eval "${cleanup_hooks[i]}"; done
  if [ -n "$wineserver_started" ]; then
    WINEPREFIX=$prefix timeout 20 wineserver -k >/dev/null 2>&1
    WINEPREFIX=$prefix timeout 20 wineserver -w >/dev/null 2>&1
  fi
  if [ -n "$xorg_pid" ]; then
    kill "$xorg_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$xorg_pid" 2>/dev/null || break; sleep 0.2; done
    if kill -0 "$xorg_pid" 2>/dev/null; then
      kill -KILL "$xorg_pid" 2>/dev/null
      # A killed server leaves its lock and socket behind.
      rm -f "/tmp/.X$display_num-lock" "/tmp/.X11-unix/X$display_num"
    fi
    wait "$xorg_pid" 2>/dev/null
  fi
  exit "$rc"
}

trap_cleanup() {
  trap cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

display_answers() { timeout 10 xdpyinfo -display ":$1" >/dev/null 2>&1; }

start_display() {
  local conf=$root/scripts/xorg-dummy.conf n attempts=0 log
  for n in $(seq 71 170); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    attempts=$((attempts + 1))
    log=$root/build/xorg-$n.log
    # fd 9 is the tree lock: long-lived children must not hold it.
    Xorg ":$n" -noreset -nolisten tcp -config "$conf" -logfile "$log" \
      </dev/null >/dev/null 2>&1 9>&- &
    xorg_pid=$!
    display_num=$n
    for _ in $(seq 100); do
      if ! kill -0 "$xorg_pid" 2>/dev/null; then break; fi
      if [ -S "/tmp/.X11-unix/X$n" ] && display_answers "$n"; then break; fi
      sleep 0.2
    done
    if kill -0 "$xorg_pid" 2>/dev/null && display_answers "$n"; then
      export DISPLAY=:$n
      local info
      info=$(timeout 10 xdpyinfo -display ":$n" -queryExtensions)
      display_start=$(sed -n 's/^ *dimensions: *\([0-9]*\)x\([0-9]*\) .*/\1 \2/p' <<<"$info")
      echo "$display_label :$n (Xorg, dummy driver, ${display_start/ /x}); log: build/xorg-$n.log"
      # Without RandR, Wine cannot change the display mode or read the gamma ramp.
      if ! grep -q '^ *RANDR ' <<<"$info"; then
        echo "$me: display :$n has no RANDR extension; see $log" >&2
        return 1
      fi
      return 0
    fi
    # Not up: either it died (maybe another server took the number just now)
    # or it hangs. Either way this number is given up.
    local why="exited"
    kill -0 "$xorg_pid" 2>/dev/null && why="did not answer within 20 s"
    kill -KILL "$xorg_pid" 2>/dev/null || true
    wait "$xorg_pid" 2>/dev/null || true
    xorg_pid=""
    # A lock that is not ours means another server took the number meanwhile.
    if { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && [ $attempts -lt 3 ]; then
      continue
    fi
    echo "$me: the test display cannot start: Xorg (dummy driver, scripts/xorg-dummy.conf) on :$n $why." >&2
    echo "Last lines of $log:" >&2
    tail -n 25 "$log" >&2 2>/dev/null || true
    return 1
  done
  echo "$me: no free X display number between 71 and 170" >&2
  return 1
}

# The registry and the 64-bit kernel32; a WoW64 prefix needs the 32-bit one as well
# (a prefix made before wine32 was installed lacks it).
prefix_files_ok() {
  [ -f "$prefix/system.reg" ] && [ -f "$prefix/user.reg" ] &&
    [ -f "$prefix/drive_c/windows/system32/kernel32.dll" ] &&
    { [ "$wine_arch" = win64 ] || [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; }
}

# The marker is written only after a boot finished, so an interrupted one is redone;
# it names the kind of prefix, which is never reused the other way.
prefix_ok() {
  [ "$(cat "$prefix/.kestrin-booted" 2>/dev/null)" = "$wine_arch" ] && prefix_files_ok
}

# wine_step SECONDS LOG WHAT COMMAND...: runs a Wine command that could hang, detached
# from our pipes and the tree lock; on failure says what failed and where to look.
wine_step() {
  local limit=$1 log=$2 what=$3 rc=0 attempt
  shift 3
  # On a loaded machine a Wine step now and then fails at once ("ShellExecuteEx failed:
  # Internal error") and works when tried again; one that hangs is not tried again.
  for attempt in 1 2; do
    rc=0
    timeout -k 10 "$limit" "$@" </dev/null >>"$log" 2>&1 9>&- || rc=$?
    [ $rc -eq 0 ] && return 0
    { [ $rc -eq 124 ] || [ $rc -eq 137 ] || [ $attempt -eq 2 ]; } && break
    echo "$me: $what failed (exit $rc); trying once more" >>"$log"
    sleep 2
  done
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    echo "$me: $what did not finish within $limit s; see $log" >&2
  else
    echo "$me: $what failed (exit $rc); last lines of $log:" >&2
    tail -n 15 "$log" >&2
  fi
  return 1
}

# boot_prefix [MANAGED]: MANAGED (Y or N, default N) is the Wine X11 driver's Managed
# setting: N on a display without a window manager, Y on a person's own desktop.
boot_prefix() {
  local managed=${1:-N} log
  choose_wine_arch "$root/build/$prefix_name"
  export WINEPREFIX=$prefix
  log=build/logs/wineboot-${prefix##*/}.log
  : >"$log"
  if [ "$wine_arch" = win64 ]; then
    echo "Wine: 64-bit only, $KESTRIN_NO_32BIT"
  fi
  # A server left by an interrupted run would keep that run's display.
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  timeout 20 wineserver -w >/dev/null 2>&1 || true
  if ! prefix_ok; then
    rm -rf "$prefix"
    echo "Creating the Wine prefix build/${prefix##*/} ($wine_arch)..."
    wine_step 180 "$log" "wineboot -i (creating the prefix)" "$wine" wineboot -i || return 1
    # The registry files appear only when the boot's server has written them out.
    timeout 60 wineserver -w >/dev/null 2>&1 || true
    if ! prefix_files_ok || ! echo "$wine_arch" >"$prefix/.kestrin-booted"; then
      echo "$me: the Wine prefix is incomplete after wineboot -i; see $log" >&2
      return 1
    fi
  fi
  # Wine as Debian builds it looks for its own fonts (fonts-wine: Marlett draws the
  # title-bar buttons, Tahoma the dialogs) under a path it cannot resolve; from the
  # prefix's Fonts folder it loads them.
  if ! cp -u /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"; then
    echo "$me: could not copy Wine's fonts (package fonts-wine) into $prefix" >&2
    return 1
  fi
  if ! timeout 20 wineserver -p 9>&-; then
    echo "$me: could not start a persistent wineserver for $prefix" >&2
    return 1
  fi
  wineserver_started=1
  # Start the session's services and desktop now, detached from any pipe: if the
  # first test started them, they would inherit its output pipe and keep it open,
  # and ctest's test discovery would wait on it until its timeout.
  wine_step 120 "$log" "wineboot (starting the Wine session)" "$wine" wineboot || return 1
  # Without a window manager, hiding a window Wine manages (a message box, a dialog)
  # stalls for 2 s; unmanaged windows go at once.
  wine_step 60 "$log" "wine reg (setting the X11 driver's Managed=$managed)" \
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f || return 1
  # Text files open in Notepad, as on Windows; Wine's prefix knows txtfile but maps no
  # extension to it.
  wine_step 60 "$log" "wine reg (opening .txt files with Notepad)" \
    "$wine" reg add 'HKCR\.txt' /ve /d txtfile /f || return 1
  # What a test killed mid-change must be given back (see wine-run).
  [ -z "$display_start" ] || export KESTRIN_DISPLAY_START=$display_start
  echo "Wine: $("$wine" --version 2>/dev/null), prefix build/${prefix##*/} ($wine_arch)"
}

ensure_wine() {
  case $wine_state in
    ready) return 0 ;;
    failed) echo "The test display or the Wine prefix could not be set up (see above)."; return 1 ;;
  esac
  say "Test display and Wine prefix"
  if start_display && boot_prefix N; then
    wine_state=ready
  else
    wine_state=failed
    return 1
  fi
}
