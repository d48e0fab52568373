#!/usr/bin/env bash
# Runs every fuzz target for MINUTES each (default 10), one after the other, keeping
# the grown corpora in build/fuzz-corpus/<target> for the next run (merged down to the
# inputs that keep their coverage after each run) and any crashing input in
# build/fuzz-artifacts/. Ends with a table: target, runs, coverage edges, findings,
# outcome. Exit status 0 only when every target ran its whole time and found nothing.
#
#   bash tools/fuzz.sh [MINUTES]
#
# A crash found here belongs in fuzz/corpus/<format>/ as a regression seed, with its fix.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. "$root/tools/fuzz-lib.sh"
minutes=${1:-10}
case $minutes in
  '' | *[!0-9]* | 0)
    echo "usage: tools/fuzz.sh [MINUTES]  (a whole number above 0)" >&2
    exit 2
    ;;
esac
bash tools/setup.sh fuzz || exit 1
cmake --preset fuzz >/dev/null && cmake --build build/fuzz -j2 >/dev/null || {
  echo "fuzz build failed: cmake --build build/fuzz" >&2
  exit 1
}
mapfile -t targets < <(fuzz_targets build/fuzz/fuzz)
logs=$root/build/fuzz-logs
mkdir -p "$logs" build/fuzz-artifacts
rows=()
failed=0
# Crashes, leaks, timeouts and running out of memory of target $name; slow inputs are
# only logged.
findings() { find build/fuzz-artifacts -name "$name-*" ! -name "$name-slow-unit-*" | wc -l; }
for bin in "${targets[@]}"; do
  name=$(basename "$bin")
  echo "[fuzz] $name for $minutes min" >&2
  before=$(findings)
  rc=0
  fuzz_run "$bin" $((minutes * 60)) "build/fuzz-corpus/$name" "$logs/$name.log" \
    "build/fuzz-artifacts/$name-" || rc=$?
  found=$(($(findings) - before))
  outcome=ok
  if [ $rc -eq 3 ]; then
    outcome="did not run its time"
  elif [ $rc -ne 0 ]; then
    outcome="failed (exit $rc)"
  elif ! fuzz_merge "$bin" "build/fuzz-corpus/$name" "$logs/$name-merge.log"; then
    rc=1
    outcome="merge failed"
  fi
  [ $rc -ne 0 ] && failed=$((failed + 1))
  rows+=("| $name | $(fuzz_runs "$logs/$name.log") | $(fuzz_edges "$logs/$name.log") | $found | $outcome |")
done
echo
echo "| target | runs | coverage edges | findings | outcome |"
echo "|---|---:|---:|---:|---|"
printf '%s\n' "${rows[@]}"
echo
echo "$minutes min per target; $(nproc) cores; logs in build/fuzz-logs/"
[ "$failed" -eq 0 ] && [ ${#targets[@]} -gt 0 ]
