#!/usr/bin/env bash
# Times a shot of a simulated 1080x2400 phone through Android's real adb server, PNG at
# 50 % with a 9-pixel frame: Snapdeck.exe under Wine, from the click on "take
# screenshot" to the finished file (bench/android_win32.cpp), against what a user would
# script: `adb exec-out screencap -p > shot.png` and ImageMagick's
# `convert shot.png -scale 50% -bordercolor C -border 9 out.png`. Rounds alternate in one
# run; prints medians, the ratio and the transfers alone (PNG and raw, by the adb command
# line).
#
#   bench/android_vs_script.sh [ROUNDS]      (default 9; SNAPDECK_EXE=PATH times another
#                                            build of the program, e.g. an earlier one)
#
# Builds what is missing: Snapdeck.exe and android.exe (windows preset), phonesim (bench
# preset). Starts its own Xvfb, Wine prefix (build/wine-bench), adb server (own port and
# HOME) and phone, and ends only those.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-9}
convert=${CONVERT:-/usr/bin/convert}
color='#BB1122'

. "$root/tools/wine-env.sh"
. "$root/tools/phone-env.sh"
. "$root/bench/common.sh"
start_phone_bench "$root/build/bench-android"
mkdir -p "$work/handshake" "$work/script"
start_phone build/bench/tools/devicesim/phonesim "$work/phonesim.out" device \
  --config /dev/null width=1080 height=2400
[ -n "${DISPLAY:-}" ] || start_xvfb
no_audio_without_sound_card || true
wine_prefix "$root/build/wine-bench"

a="HOME=$work/home adb -P $adb_port -s $phone_serial"
script="cd $work/script && $a exec-out screencap -p > shot.png && $convert shot.png -scale 50% -bordercolor '$color' -border 9 out.png"

start_driver "$exe" "$work/snapdeck" "$work/handshake" "$rounds" 1 "$work/android.log"

ours=() ready=() theirs=() png_alone=() raw_alone=()
for ((i = 1; i <= rounds; i++)); do
  theirs+=("$(time_us "$script")")
  png_alone+=("$(time_us "$a exec-out screencap -p > $work/script/alone.png")")
  raw_alone+=("$(time_us "$a exec-out screencap > $work/script/alone.raw")")
  snapdeck_round "$work/handshake" "$i"
  ours+=("$shot_us")
  ready+=("$ready_us")
done
wait_driver

out=$work/snapdeck/shots/$shot_name
dims() { "$convert" "$1" -format '%wx%h' info:; }
[ "$(dims "$out")" = "$(dims "$work/script/out.png")" ] ||
  echo "warning: sizes differ: Snapdeck $(dims "$out"), script $(dims "$work/script/out.png")" >&2
our_ms=$(ms "${ours[@]}")
their_ms=$(ms "${theirs[@]}")
printf '| shot (1080x2400 phone, PNG 50%%, frame 9) | median ms | fastest ms |\n|---|---:|---:|\n'
printf '| Snapdeck.exe under Wine, button to file | %s | %s |\n' "$our_ms" "$(fastest "${ours[@]}")"
printf '| Snapdeck.exe, button to ready for the next shot (not compared) | %s | %s |\n' "$(ms "${ready[@]}")" "$(fastest "${ready[@]}")"
printf '| script: adb exec-out screencap -p, then convert | %s | %s |\n' "$their_ms" "$(fastest "${theirs[@]}")"
printf '| transfer alone: adb exec-out screencap -p | %s | %s |\n' "$(ms "${png_alone[@]}")" "$(fastest "${png_alone[@]}")"
printf '| transfer alone: adb exec-out screencap (raw) | %s | %s |\n' "$(ms "${raw_alone[@]}")" "$(fastest "${raw_alone[@]}")"
echo
printf 'ratio Snapdeck / script: %.2f (goal: at most 0.5)\n' "$(echo "$our_ms $their_ms" | awk '{print $1 / $2}')"
printf 'output %s (Snapdeck %s bytes, script %s bytes); %s rounds alternating; %s cores\n' "$(dims "$out")" \
  "$(stat -c %s "$out")" "$(stat -c %s "$work/script/out.png")" "$rounds" "$(nproc)"
printf 'pixels that differ between the two outputs: %s, by more than 1%%: %s\n' \
  "$(compare -metric AE "$out" "$work/script/out.png" null: 2>&1 || true)" \
  "$(compare -metric AE -fuzz 1% "$out" "$work/script/out.png" null: 2>&1 || true)"
