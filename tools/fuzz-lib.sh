# Running one libFuzzer target, shared by tools/test.sh (short bounded runs over a
# scratch corpus) and tools/fuzz.sh (long runs whose corpora are kept). Sourced.

# Targets that decode pictures. They run with memory limits from the picture budget:
# no single allocation reaches past one picture of 8192 x 4096 BGRA (128 MiB), and the
# process stays within what one decode may hold at the budget's edge (the picture and
# a CMYK progressive JPEG's coefficients, 384 MiB) beside the sanitizers' and the
# fuzzer's own memory, so a decode that breaks the budget is a finding.
fuzz_image_targets=(bmp_fuzz jpeg_fuzz png_fuzz picture_size_fuzz thumbnail_fuzz)
fuzz_malloc_limit_mb=129
fuzz_rss_limit_mb=1024

# The seed folders of targets that read other targets' seeds (their dictionary is the
# first folder's).
declare -A fuzz_seed_formats=([picture_size_fuzz]="jpeg png bmp" [thumbnail_fuzz]="jpeg png bmp")

# fuzz_run BIN SECONDS CORPUS LOG ARTIFACT_PREFIX: runs BIN for SECONDS, writing new
# inputs into CORPUS and reading the committed seeds and dictionary beside them.
# Returns 0 only when the target ran for its whole time and found nothing: a crash,
# a leak, a time-out or a memory limit gives libFuzzer's status, and a target that
# could not start or stopped early gives 3.
fuzz_run() {
  local bin=$1 seconds=$2 corpus=$3 log=$4 artifacts=$5
  local name root seeds=() dict=() src format formats rc=0 ran
  name=$(basename "$bin")
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  formats=${fuzz_seed_formats[$name]:-${name%_fuzz}}
  for format in $name $formats; do
    src=$root/fuzz/corpus/$format
    [ -d "$src" ] && seeds+=("$src")
  done
  for format in $formats; do
    [ -f "$root/fuzz/corpus/$format.dict" ] && dict=("-dict=$root/fuzz/corpus/$format.dict")
    break
  done
  local limits=(-rss_limit_mb=2048)
  [[ " ${fuzz_image_targets[*]} " == *" $name "* ]] &&
    limits=(-rss_limit_mb=$fuzz_rss_limit_mb -malloc_limit_mb=$fuzz_malloc_limit_mb)
  mkdir -p "$corpus" "$(dirname "$artifacts")"
  if [ ! -x "$bin" ]; then
    echo "fuzz target $bin cannot be run" >"$log"
    return 3
  fi
  timeout --kill-after=10 $((seconds + 120)) "$bin" -max_total_time="$seconds" "${limits[@]}" \
    -timeout=10 "${dict[@]}" -artifact_prefix="$artifacts" -print_final_stats=1 \
    "$corpus" "${seeds[@]}" >"$log" 2>&1 || rc=$?
  [ $rc -ne 0 ] && return $rc
  # libFuzzer ends with "Done N runs in S second(s)" when its time is up.
  ran=$(grep -aoE '^Done [0-9]+ runs in [0-9]+ second' "$log" | tail -n 1 | grep -oE '[0-9]+ second' |
    grep -oE '[0-9]+')
  if [ -z "$ran" ] || [ "$ran" -lt "$seconds" ] || [ "$(fuzz_runs "$log")" = 0 ]; then
    echo "fuzz target ended after ${ran:-no} seconds of $seconds" >>"$log"
    return 3
  fi
  return 0
}

# fuzz_merge BIN CORPUS LOG: shrinks CORPUS to the inputs that keep its coverage (kept
# runs grow it with inputs later ones make redundant). Non-zero when the merge failed;
# the corpus is then left as it was.
fuzz_merge() {
  local bin=$1 corpus=$2 log=$3 merged
  [ -d "$corpus" ] && [ -n "$(ls -A "$corpus")" ] || return 0
  merged=$(mktemp -d "$corpus.merge.XXXXXX")
  if "$bin" -merge=1 -rss_limit_mb=2048 -timeout=10 "$merged" "$corpus" >"$log" 2>&1; then
    rm -rf "$corpus" && mv "$merged" "$corpus"
  else
    rm -rf "$merged"
    return 1
  fi
}

# fuzz_targets BUILD_DIR: the target binaries, one per fuzz/*_fuzz.cpp, whether built
# or not, so a target missing from the build fails its run instead of going unnoticed.
fuzz_targets() {
  local root src
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  for src in "$root"/fuzz/*_fuzz.cpp; do
    [ -f "$src" ] && echo "$1/$(basename "${src%.cpp}")"
  done
}

# fuzz_runs LOG: inputs executed; fuzz_edges LOG: coverage edges reached.
fuzz_runs() { grep -aoE 'stat::number_of_executed_units: [0-9]+' "$1" | grep -oE '[0-9]+$' | tail -n 1; }
fuzz_edges() { grep -aoE ' cov: [0-9]+' "$1" | grep -oE '[0-9]+' | sort -n | tail -n 1; }

# Targets whose work happens inside an image library: linked against the instrumented
# copies they reach far more edges than our wrappers have on their own.
fuzz_library_targets=(png_fuzz jpeg_fuzz)
fuzz_min_library_edges=500
