#!/usr/bin/env bash
# Runs every fuzz target for MINUTES each (default 10), one after the other, keeping
# the grown corpora in build/fuzz-corpus/<target> for the next run and any crashing
# input in build/fuzz-artifacts/. Ends with a table: target, runs, coverage edges,
# crashes. Exit status 0 only when nothing crashed.
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
mapfile -t targets < <(find build/fuzz/fuzz -maxdepth 1 -type f -name '*_fuzz' -perm -u+x | sort)
logs=$root/build/fuzz-logs
mkdir -p "$logs" build/fuzz-artifacts
rows=()
crashed=0
# Crashes, leaks, timeouts and running out of memory of target $name; slow inputs are
# only logged.
findings() { find build/fuzz-artifacts -name "$name-*" ! -name "$name-slow-unit-*" | wc -l; }
for bin in "${targets[@]}"; do
  name=$(basename "$bin")
  echo "[fuzz] $name for $minutes min" >&2
  before=$(findings)
  fuzz_run "$bin" $((minutes * 60)) "build/fuzz-corpus/$name" "$logs/$name.log" \
    "build/fuzz-artifacts/$name-"
  crashes=$(($(findings) - before))
  crashed=$((crashed + crashes))
  rows+=("| $name | $(fuzz_runs "$logs/$name.log") | $(fuzz_edges "$logs/$name.log") | $crashes |")
done
echo
echo "| target | runs | coverage edges | crashes |"
echo "|---|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
echo
echo "$minutes min per target; $(nproc) cores; logs in build/fuzz-logs/"
[ "$crashed" -eq 0 ]
