#!/usr/bin/env bash
# Times a 3 MiB update download over WinINet under Wine (bench/download_win32.cpp: with
# the update window's paced progress drawing, with a redraw at every knob step, and with
# no drawing) against curl fetching the same file from the same local server, and prints
# median times and their ratios to curl's.
#
#   bench/download_vs_curl.sh [REPETITIONS]      (default 9)
#
# Starts its own HTTP server, Xvfb and Wine prefix (build/wine-bench) and ends only those.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../tools/wine-env.sh"
root=$snapdeck_root
reps=${1:-9}
size=$((3 * 1024 * 1024))
bench=$root/build/windows/bench/download.exe

if [ ! -f "$bench" ]; then
  cmake --preset windows >/dev/null
  cmake --build "$root/build/windows" -j2 --target download >/dev/null
fi

work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
  stop_wine_and_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

python3 "$root/tools/http_test_server.py" --port-file "$work/port" --root "$work" &
server=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat "$work/port")/bytes?n=$size"

start_xvfb
wine_prefix "$root/build/wine-bench"
ours=$(wine "$bench" "$url" "$reps" 2>/dev/null)

curl_times=()
for _ in $(seq 1 "$reps"); do
  curl_times+=("$(curl -s -o /dev/null -w '%{time_total}' "$url")")
done
curl_ms=$(printf '%s\n' "${curl_times[@]}" | sort -g | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]*1000}')

printf 'download of %d bytes from a local server, median of %d runs\n\n' "$size" "$reps"
printf '| fetch | ms | ratio to curl |\n|---|---|---|\n'
printf '| curl | %s | 1.00 |\n' "$curl_ms"
while read -r name ms; do
  printf '| WinINet, %s | %s | %.2f |\n' "${name//_/ }" "$ms" "$(awk -v a="$ms" -v b="$curl_ms" 'BEGIN {print a / b}')"
done <<<"$ours"
