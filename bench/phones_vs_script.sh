#!/usr/bin/env bash
# Times one shot of 1, 4, 8 and 16 simulated 1080x2400 phones (each taking 400 ms to make
# its picture) through Android's real adb server, PNG at 50 % with a 9-pixel frame:
# Snapdeck.exe under Wine, from the click on "take screenshot" to the last phone's file
# (bench/android_win32.cpp), against what a user would script: a loop over `adb devices`
# with `adb -s SERIAL exec-out screencap -p` and ImageMagick's `convert -scale 50%
# -bordercolor C -border 9` for each phone, one after another. Rounds alternate in one
# run; also reads Snapdeck's peak memory during each shot. First, as a yardstick, one
# phone that answers at once against the single-phone benchmark's script. Prints a table
# and the goals.
#
#   bench/phones_vs_script.sh [ROUNDS]      (default 3; PHONES="1 4 8 16" the counts;
#                                           SNAPDECK_EXE=PATH times another build)
#
# Builds what is missing (see bench/common.sh). Starts its own Xvfb, Wine prefix
# (build/wine-bench), adb server (own port and HOME) and phones, and ends only those.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
read -r -a counts <<<"${PHONES:-1 4 8 16}"
convert=${CONVERT:-/usr/bin/convert}
color='#BB1122'
delay=400

. "$root/tools/wine-env.sh"
. "$root/tools/phone-env.sh"
. "$root/bench/common.sh"
start_phone_bench "$root/build/bench-phones"
[ -n "${DISPLAY:-}" ] || start_xvfb
no_audio_without_sound_card || true
wine_prefix "$root/build/wine-bench"

a="HOME=$work/home adb -P $adb_port"
# The user's script: every phone the server lists, one after another.
script() {
  echo "cd $1 && for s in \$($a devices | awk 'NR > 1 && \$2 == \"device\" {print \$1}'); do" \
    "$a -s \$s exec-out screencap -p > \$s.png &&" \
    "$convert \$s.png -scale 50% -bordercolor '$color' -border 9 \$s-framed.png || exit 1; done"
}

# The Linux process running the program in folder $1: Wine shows the Windows path.
snapdeck_pid() {
  local want=$1\\Snapdeck.exe f
  for f in /proc/[0-9]*/cmdline; do
    if tr '\0' '\n' 2>/dev/null <"$f" | grep -qixF "$want"; then
      f=${f#/proc/}
      echo "${f%/cmdline}"
      return 0
    fi
  done
  return 1
}
vm_hwm_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status" 2>/dev/null; }

# measure KEY N SCRIPT: the rounds of one phone count, N files a shot; results under KEY.
declare -A ours theirs peak files left_out
measure() {
  local key=$1 n=$2 script=$3 pid="" deadline=$((SECONDS + 120)) i kb made
  local our=() their=() top=0 saved=$2 missed=0
  start_driver "$exe" "$work/snapdeck-$key" "$work/handshake-$key" "$rounds" "$n" \
    "$work/android-$key.log"
  until pid=$(snapdeck_pid "$(win_path "$work/snapdeck-$key")"); do
    if [ $SECONDS -ge $deadline ] || ! kill -0 "$driver_pid" 2>/dev/null; then
      echo "Snapdeck.exe did not start; see $driver_log" >&2
      exit 1
    fi
    sleep 0.1
  done
  for ((i = 1; i <= rounds; i++)); do
    their+=("$(time_us "$script")")
    # The peak since this reset is the shot's (clear_refs 5 resets VmHWM to the present).
    echo 5 >"/proc/$pid/clear_refs" 2>/dev/null || true
    snapdeck_round "$work/handshake-$key" "$i"
    our+=("$shot_us")
    kb=$(vm_hwm_kb "$pid")
    [ "${kb:-0}" -le "$top" ] || top=$kb
    [ "$shot_files" -ge "$saved" ] || saved=$shot_files
    [ "$shot_left_out" -le "$missed" ] || missed=$shot_left_out
  done
  wait_driver
  made=$(find "$work/script-$key" -name '*-framed.png' | wc -l)
  [ "$made" -eq "$n" ] || echo "warning: the script framed $made pictures of $n phones" >&2
  ours[$key]=$(ms "${our[@]}")
  theirs[$key]=$(ms "${their[@]}")
  peak[$key]=$top files[$key]=$saved left_out[$key]=$missed
}

# First a phone that answers at once, the single-phone benchmark's, with its script
# (no listing); then it is left off the server's list.
phone() {
  start_phone build/bench/tools/devicesim/phonesim "$work/phonesim-$1.out" device \
    --config /dev/null width=1080 height=2400 "screencap.delay=$2" "log=$work/phonesim-$1.log"
}
phone 0 0
mkdir -p "$work/script-quick"
measure quick 1 "cd $work/script-quick && $a -s $phone_serial exec-out screencap -p > shot.png &&
  $convert shot.png -scale 50% -bordercolor '$color' -border 9 shot-framed.png"
our_adb disconnect "$phone_serial" >/dev/null
wait_tenths 100 sh -c "! HOME=$work/home adb -P $adb_port devices | grep -q '[[:space:]]device\$'"

phones=0
for n in "${counts[@]}"; do
  while [ "$phones" -lt "$n" ]; do
    phones=$((phones + 1))
    phone "$phones" "$delay"
  done
  mkdir -p "$work/script-$n"
  measure "$n" "$n" "$(script "$work/script-$n")"
done

one=${ours[1]:-}
printf '| phones | Snapdeck median ms | script median ms | ratio | Snapdeck N / 1 phone | peak memory MiB |\n'
printf '|---:|---:|---:|---:|---:|---:|\n'
row() {  # key, label
  local ratio scale="-" mib note=""
  ratio=$(awk -v a="${ours[$1]}" -v b="${theirs[$1]}" 'BEGIN {printf "%.2f", a / b}')
  [ -z "$one" ] || [ "$1" = quick ] ||
    scale=$(awk -v a="${ours[$1]}" -v b="$one" 'BEGIN {printf "%.2f", a / b}')
  mib=$(awk -v k="${peak[$1]}" 'BEGIN {printf "%.0f", k / 1024}')
  if [ "${files[$1]}" -lt "${1/quick/1}" ]; then
    note=" (only ${files[$1]} files; ${left_out[$1]} left out)"
    ratio="($ratio)" scale="(${scale})"
  fi
  printf '| %s | %s%s | %s | %s | %s | %s |\n' "$2" "${ours[$1]}" "$note" "${theirs[$1]}" "$ratio" \
    "$scale" "$mib"
}
row quick "1, answering at once"
for n in "${counts[@]}"; do row "$n" "$n"; done
echo
goal() {  # text, value, comparison against the bound, bound, phones
  local verdict
  if [ -z "$2" ]; then
    verdict="not measured"
  elif [ "${files[$5]:-0}" -lt "${5/quick/1}" ]; then
    verdict="not measurable: only ${files[$5]} of $5 files"
  else
    verdict=$(awk -v v="$2" -v b="$4" -v op="$3" \
      'BEGIN {ok = (op == "<=") ? v <= b : v < b; print (ok ? "met" : "missed")}')
  fi
  printf '%s: %s %s %s: %s\n' "$1" "${2:--}" "$3" "$4" "$verdict"
}
ratio_of() { [ -n "${1:-}" ] && [ -n "${2:-}" ] && awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
goal "8 phones / 1 phone (Snapdeck)" "$(ratio_of "${ours[8]:-}" "$one" || true)" "<=" 1.5 8
goal "8 phones, Snapdeck / script" "$(ratio_of "${ours[8]:-}" "${theirs[8]:-}" || true)" "<=" 0.2 8
goal "1 phone answering at once, Snapdeck / script" \
  "$(ratio_of "${ours[quick]}" "${theirs[quick]}")" "<=" 0.40 quick
mib16=""
[ -z "${peak[16]:-}" ] || mib16=$(awk -v k="${peak[16]}" 'BEGIN {printf "%.0f", k / 1024}')
goal "16 phones, peak memory MiB" "$mib16" "<" 512 16
printf '%s rounds alternating; each phone %dx%d taking %d ms per picture; %s cores; %s s\n' \
  "$rounds" 1080 2400 "$delay" "$(nproc)" "$SECONDS"
