#!/usr/bin/env bash
# A run killed outright leaves processes tagged with its tree, prefix and process id. The next run
# of that tree and prefix ends them, and spares those of a run still going, of another prefix or clone, and its own.
set -u
me=leftovers_test
prefix_name=wineprefix-leftovers-test
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
alive() { [ -d "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }
declare -A spare=()
spare_of() { KESTRIN_RUN_TAG=$2 sleep 300 & spare[$!]=$1; }

gone=$(bash -c 'echo $$')   # the process id of a run that has ended
sleep 300 & running_run=$!
KESTRIN_RUN_TAG="$run_tag_base$gone" sleep 300 & leftover=$!
spare_of "a run still going" "$run_tag_base$running_run"
spare_of "another prefix in this tree" "$root|wineprefix-run|$gone"
spare_of "another clone" "/another/clone|$prefix_name|$gone"
sleep 1  # every tagged process has started its program

out=$(end_leftovers)
! alive "$leftover" || fail "the leftover of the ended run is still running"
[[ $out == "Ending 1 processes left by a killed run"*"sleep 300"* ]] || fail "no account of the ending: $out"
end_leftovers >/dev/null
[ "${KESTRIN_RUN_TAG:-}" = "$run_tag_base$$" ] || fail "this run's tag is \"${KESTRIN_RUN_TAG:-}\""
spare_of "this run" "$KESTRIN_RUN_TAG"; sleep 1
end_leftovers >/dev/null  # a later look, as a second script of the same run makes
for pid in "${!spare[@]}"; do alive "$pid" || fail "a process of ${spare[$pid]} was ended"; done

kill "$running_run" "$leftover" "${!spare[@]}" 2>/dev/null
wait 2>/dev/null
[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
