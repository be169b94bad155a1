#!/usr/bin/env bash
# A run killed outright leaves processes tagged with its tree, its prefix and its own
# process id. The next run of that tree and prefix ends them, and leaves alone those of
# a run still going, of another prefix and of another clone.
set -u
me=leftovers_test
prefix_name=wineprefix-leftovers-test
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
alive() { [ -d "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }

gone=$(bash -c 'echo $$')   # the process id of a run that has ended
sleep 300 &
running_run=$!
KESTRIN_RUN_TAG="$run_tag_base$gone" sleep 300 &
leftover=$!
KESTRIN_RUN_TAG="$run_tag_base$running_run" sleep 300 &
of_running_run=$!
KESTRIN_RUN_TAG="$root|wineprefix-run|$gone" sleep 300 &
of_other_prefix=$!
KESTRIN_RUN_TAG="/another/clone|$prefix_name|$gone" sleep 300 &
of_other_clone=$!
sleep 0.2

out=$(end_leftovers)
status=0
wait "$leftover" 2>/dev/null || status=$?
[ $status -ne 0 ] || fail "the leftover of the ended run is still running"
grep -q "^Ending 1 processes left by a killed run" <<<"$out" || fail "no account of the ending: $out"
grep -q "sleep 300" <<<"$out" || fail "the ended process is not named: $out"
alive "$of_running_run" || fail "a process of a run still going was ended"
alive "$of_other_prefix" || fail "a process of another prefix in this tree was ended"
alive "$of_other_clone" || fail "a process of another clone was ended"

end_leftovers >/dev/null
[ "$KESTRIN_RUN_TAG" = "$run_tag_base$$" ] || fail "this run's tag is \"$KESTRIN_RUN_TAG\""
KESTRIN_RUN_TAG="$KESTRIN_RUN_TAG" sleep 300 &
own=$!
# A later look (a second script of the same run) spares this run's own processes.
end_leftovers >/dev/null
alive "$own" || fail "the run's own process was ended"

kill "$running_run" "$of_running_run" "$of_other_prefix" "$of_other_clone" "$own" 2>/dev/null
wait 2>/dev/null
[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "ok: leftovers of a killed run are ended, nothing else"
