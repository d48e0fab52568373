# Running one libFuzzer target, shared by tools/test.sh (short bounded runs over a
# scratch corpus) and tools/fuzz.sh (long runs whose corpora are kept). Sourced.

# fuzz_run BIN SECONDS CORPUS LOG ARTIFACT_PREFIX: runs BIN for SECONDS, writing new
# inputs into CORPUS and reading the committed seeds and dictionary beside them;
# returns libFuzzer's exit status (0: no crash).
fuzz_run() {
  local bin=$1 seconds=$2 corpus=$3 log=$4 artifacts=$5
  local name root seeds=() dict=() src
  name=$(basename "$bin")
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  for src in "$root/fuzz/corpus/$name" "$root/fuzz/corpus/${name%_fuzz}"; do
    [ -d "$src" ] && seeds+=("$src")
  done
  [ -f "$root/fuzz/corpus/${name%_fuzz}.dict" ] && dict=("-dict=$root/fuzz/corpus/${name%_fuzz}.dict")
  mkdir -p "$corpus" "$(dirname "$artifacts")"
  timeout --kill-after=10 $((seconds + 120)) "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 "${dict[@]}" -artifact_prefix="$artifacts" -print_final_stats=1 \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
}

# fuzz_runs LOG: inputs executed; fuzz_edges LOG: coverage edges reached.
fuzz_runs() { grep -aoE 'stat::number_of_executed_units: [0-9]+' "$1" | grep -oE '[0-9]+$' | tail -n 1; }
fuzz_edges() { grep -aoE ' cov: [0-9]+' "$1" | grep -oE '[0-9]+' | sort -n | tail -n 1; }

# Targets whose work happens inside an image library: linked against the instrumented
# copies they reach far more edges than our wrappers have on their own.
fuzz_library_targets=(png_fuzz jpeg_fuzz)
fuzz_min_library_edges=500
