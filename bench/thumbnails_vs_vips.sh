#!/usr/bin/env bash
# Times bench/thumbnails (the viewer's catalogue scan and thumbnail making) against
# vipsthumbnail making 320-pixel-wide thumbnails of the same files, side by side in one
# run, on a folder of 1000 mixed screenshots (PNG, JPEG and BMP, 240x160 to 640x480,
# some wider than the viewer's column) and on its PNG, JPEG and BMP thirds, and on a
# folder of 4 such pictures each padded to about 120 MiB with zeros after the picture
# (sparse files). Prints a table of median wall times, their ratio, and peak memory
# against the goal of 4 bytes per thumbnail pixel plus 16 MiB.
#
#   bench/thumbnails_vs_vips.sh [REPETITIONS]      (default 5)
#
# Environment: BUILD_DIR (default build/bench; built with the bench preset when the
# thumbnails program is missing), VIPSTHUMBNAIL (default /usr/bin/vipsthumbnail).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reps=${1:-5}
build=${BUILD_DIR:-$root/build/bench}
vips=${VIPSTHUMBNAIL:-/usr/bin/vipsthumbnail}
thumbnails=$build/bench/thumbnails
timer=/usr/bin/time

. "$root/bench/common.sh"
need_commands "$vips" libvips-tools "$timer" time
need_program "$build" thumbnails

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mixed"
"$thumbnails" --make "$work/mixed"
for ext in png jpg bmp; do
  mkdir -p "$work/$ext"
  ln "$work"/mixed/*."$ext" "$work/$ext/"
done
mkdir -p "$work/padded"
"$thumbnails" --make "$work/padded" --count 4 --pad 120

# Runs a command under GNU time; prints "wall_us peak_kib".
measure() {
  local t0 t1 peak
  t0=${EPOCHREALTIME/./}
  peak=$("$timer" -f %M "$@" 2>&1 >/dev/null | tail -n 1) || { echo "failed: $*" >&2; exit 1; }
  t1=${EPOCHREALTIME/./}
  echo "$((t1 - t0)) $peak"
}

printf '| folder | files | our median ms | vipsthumbnail median ms | time ratio | our peak MiB | goal MiB | vipsthumbnail peak MiB |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|\n'
for set in mixed png jpg bmp padded; do
  folder=$work/$set
  out=$work/out-$set
  files=$(find "$folder" -type f | wc -l)
  report=$("$thumbnails" "$folder")
  pixels=$(sed -n 's/.*thumbnail_pixels=\([0-9]*\).*/\1/p' <<<"$report")
  our_times=() our_peaks=() vips_times=() vips_peaks=()
  for ((i = 0; i < reps; i++)); do
    read -r us kib < <(measure "$thumbnails" "$folder")
    our_times+=("$us") our_peaks+=("$kib")
    rm -rf "$out" && mkdir -p "$out"
    read -r us kib < <(cd "$folder" && measure "$vips" -s '320x>' -o "$out/%s.v" ./*)
    vips_times+=("$us") vips_peaks+=("$kib")
  done
  our_ms=$(printf '%s\n' "${our_times[@]}" | median)
  vips_ms=$(printf '%s\n' "${vips_times[@]}" | median)
  our_peak=$(printf '%s\n' "${our_peaks[@]}" | sort -n | tail -n 1)
  vips_peak=$(printf '%s\n' "${vips_peaks[@]}" | sort -n | tail -n 1)
  awk -v set="$set" -v files="$files" -v o="$our_ms" -v v="$vips_ms" -v op="$our_peak" \
    -v vp="$vips_peak" -v px="$pixels" 'BEGIN {
      printf "| %s | %d | %.0f | %.0f | %.2f | %.1f | %.1f | %.1f |\n", set, files, o / 1000,
        v / 1000, o / v, op / 1024, (4 * px) / 1048576 + 16, vp / 1024 }'
done
