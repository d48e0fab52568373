# Shared by the comparison scripts: sourced, never run.

# Installs the Debian packages behind missing commands: pairs of command path and package.
need_commands() {
  local missing=()
  while [ $# -ge 2 ]; do
    [ -x "$1" ] || missing+=("$2")
    shift 2
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ]; then
    apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "needs ${missing[*]}; install them with apt-get" >&2
    exit 1
  fi
}

# Builds a benchmark program with the bench preset unless it exists: build dir, target.
need_program() {
  [ -x "$1/bench/$2" ] && return 0
  cmake --preset bench -B "$1" >/dev/null
  cmake --build "$1" -j2 --target "$2" >/dev/null
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# --- phone shots: the real Snapdeck.exe under Wine against a user's script ---------------
# For android_vs_script.sh and phones_vs_script.sh, after tools/wine-env.sh and
# tools/phone-env.sh, from the source root.

# Builds what is missing: Snapdeck.exe and android.exe (windows preset), phonesim (bench
# preset).
need_phone_programs() {
  if [ ! -f build/windows/Snapdeck.exe ] || [ ! -f build/windows/bench/android.exe ]; then
    cmake --preset windows >/dev/null
    cmake --build build/windows -j2 --target Snapdeck android >/dev/null
  fi
  if [ ! -x build/bench/tools/devicesim/phonesim ]; then
    cmake --preset bench >/dev/null
    cmake --build build/bench -j2 --target phonesim >/dev/null
  fi
}

# Wall time of a shell command in microseconds.
time_us() {
  local t0=${EPOCHREALTIME/./} t1
  bash -c "$1" >/dev/null 2>&1 || { echo "failed: $1" >&2; exit 1; }
  t1=${EPOCHREALTIME/./}
  echo $((t1 - t0))
}

# start_driver EXE FOLDER HANDSHAKE ROUNDS FILES LOG: bench/android.exe working the
# program EXE in FOLDER (Unix paths), its rounds started by snapdeck_round. Sets
# driver_pid and driver_log.
driver_pid=""
driver_log=""
start_driver() {
  mkdir -p "$3"
  driver_log=$6
  wine build/windows/bench/android.exe "$(win_path "$1")" "$(win_path "$2")" "$(win_path "$3")" \
    "$4" "$5" >"$driver_log" 2>&1 &
  driver_pid=$!
}

# snapdeck_round HANDSHAKE N: starts the driver's round N and waits for its result, at
# most ten minutes. Sets shot_us and ready_us (click to the last file, to ready again),
# shot_files (files saved), shot_left_out (screens the program's message left out) and
# shot_name (one file's name).
snapdeck_round() {
  local done=$1/done.$2 deadline=$((SECONDS + 600)) ms ready_ms
  touch "$1/go.$2"
  until [ -s "$done" ]; do
    if ! kill -0 "$driver_pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
      echo "the Snapdeck side ended early or hangs:" >&2
      cat "$driver_log" >&2
      exit 1
    fi
    sleep 0.05
  done
  read -r ms ready_ms shot_files shot_left_out shot_name <"$done"
  shot_us=$(awk -v m="$ms" 'BEGIN {printf "%d", m * 1000}')
  ready_us=$(awk -v m="$ready_ms" 'BEGIN {printf "%d", m * 1000}')
}

# Ends the driver (and with it the program) once its rounds are done.
wait_driver() {
  [ -n "$driver_pid" ] || return 0
  local deadline=$((SECONDS + 30))
  while kill -0 "$driver_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
  kill "$driver_pid" 2>/dev/null || true
  wait "$driver_pid" 2>/dev/null || true
  driver_pid=""
}

# Medians and fastest of microsecond times, in milliseconds.
ms() { printf '%s\n' "$@" | median | awk '{printf "%.0f", $1 / 1000}'; }
fastest() { printf '%s\n' "$@" | sort -n | head -n 1 | awk '{printf "%.0f", $1 / 1000}'; }

# What both phone benchmarks start with: ImageMagick and adb there, the programs built,
# a fresh work folder with an adb server of its own (port and HOME), and whatever the
# run started ended when it exits. Sets work and exe.
start_phone_bench() {
  work=$1
  need_commands "$convert" imagemagick /usr/bin/adb adb
  cd "$root"
  trap end_phone_bench EXIT
  trap 'exit 130' INT TERM
  exe=${SNAPDECK_EXE:-build/windows/Snapdeck.exe}
  need_phone_programs
  rm -rf "$work"
  mkdir -p "$work/home"
  start_adb_server "$work/adb-server.log" "$work/home"
}
end_phone_bench() {
  wait_driver
  stop_phones_and_adb
  stop_wine_and_xvfb
}
