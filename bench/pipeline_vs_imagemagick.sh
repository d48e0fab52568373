#!/usr/bin/env bash
# Times bench/pipeline against ImageMagick's convert doing the same work (read a
# device-style bitmap, scale, add a plain frame, encode, write), side by side in one
# run, and prints a table of median wall-time ratios and output-size ratios. Inputs:
# three screen-like bitmaps and one photo-like one (ImageMagick's fractal plasma, as
# from a camera preview).
#
#   bench/pipeline_vs_imagemagick.sh [REPETITIONS]      (default 9)
#
# Environment: BUILD_DIR (default build/bench; built with the bench preset when the
# pipeline program is missing), CONVERT (default /usr/bin/convert).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reps=${1:-9}
build=${BUILD_DIR:-$root/build/bench}
convert=${CONVERT:-/usr/bin/convert}
pipeline=$build/bench/pipeline

. "$root/bench/common.sh"
need_commands "$convert" imagemagick
need_program "$build" pipeline

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
color='#BB1122'

# Wall time of one command in microseconds, without forking a timer.
run_us() {
  local t0=${EPOCHREALTIME/./} t1
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  t1=${EPOCHREALTIME/./}
  echo $((t1 - t0))
}


# Encoder options that make convert do what the pipeline does.
im_format() {
  case $1 in
    png) echo "png" ;;
    jpg) echo "-quality 100 -sampling-factor 1x1 jpg" ;;
    bmp) echo "-type TrueColor bmp3" ;;
  esac
}

printf '| input | output | our median ms | IM median ms | time ratio | our bytes | IM bytes | size ratio |\n'
printf '|---|---|---:|---:|---:|---:|---:|---:|\n'
for size in 240x160 480x360 1024x768 photo; do
  input=$work/in-$size.bmp
  if [ $size = photo ]; then
    size="1024x768 photo"
    "$convert" -seed 7 -size 1024x768 plasma:fractal -type TrueColor "bmp3:$input"
  else
    "$pipeline" --synth "$size" --top-down --out "$input"
  fi
  for job in "png 200 9" "png 100 1" "jpg 200 9" "bmp 200 9" "png 50 3"; do
    read -r format scale frame <<<"$job"
    ours=$work/ours.$format
    opts=$(im_format "$format")
    imfmt=${opts##* }
    extra=${opts% *}
    [ "$extra" = "$opts" ] && extra=""
    theirs=$work/theirs.$format
    our_times=() im_times=()
    for ((i = 0; i < reps; i++)); do
      our_times+=("$(run_us "$pipeline" --in "$input" --scale "$scale" --frame "$frame" --color "$color" \
        --effect 8 --dir 1 --format "$format" --out "$ours")")
      # shellcheck disable=SC2086  # $extra holds several options
      im_times+=("$(run_us "$convert" "$input" -scale "$scale%" -bordercolor "$color" -border "$frame" \
        $extra "$imfmt:$theirs")")
    done
    our_ms=$(printf '%s\n' "${our_times[@]}" | median | awk '{printf "%.1f", $1 / 1000}')
    im_ms=$(printf '%s\n' "${im_times[@]}" | median | awk '{printf "%.1f", $1 / 1000}')
    our_bytes=$(stat -c %s "$ours")
    im_bytes=$(stat -c %s "$theirs")
    our_dims=$("$convert" "$ours" -format '%wx%h' info:)
    im_dims=$("$convert" "$theirs" -format '%wx%h' info:)
    [ "$our_dims" = "$im_dims" ] || echo "warning: sizes differ: ours $our_dims, convert $im_dims" >&2
    printf '| %s | %s %s%% frame %s (%s) | %s | %s | %.2f | %s | %s | %.3f |\n' "$size" "$format" "$scale" \
      "$frame" "$our_dims" "$our_ms" "$im_ms" "$(echo "$our_ms $im_ms" | awk '{print $1 / $2}')" \
      "$our_bytes" "$im_bytes" "$(echo "$our_bytes $im_bytes" | awk '{print $1 / $2}')"
  done
done
echo
echo "$reps runs each, alternating; $(nproc) cores; $("$convert" -version | head -1 | cut -d' ' -f2-3)"
