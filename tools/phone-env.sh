# Android's adb server and simulated phones for the run command, the benchmarks and the
# tests: the server on a free port of its own, each phone connected to it, and only what
# was started here ended. Source it; it defines functions and variables only.

adb_port=""
adb_pid=""
adb_home=""
phone_pids=()
phone_port=""
phone_serial=""

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_tenths() {
  local n=$1 i
  shift
  for ((i = 0; i < n; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

adb_answers() { (exec 3<>"/dev/tcp/127.0.0.1/$adb_port") 2>/dev/null; }

# The adb command line against our server, only while it runs: the command line starts a
# server of its own when none answers.
our_adb() {
  [ -n "$adb_pid" ] && kill -0 "$adb_pid" 2>/dev/null || return 1
  HOME=$adb_home adb -P "$adb_port" "$@"
}

# start_adb_server LOG [HOME]: the server in HOME (default: ours; it keeps its key in
# HOME/.android) on a free port, exported as ANDROID_ADB_SERVER_PORT.
start_adb_server() {
  local log=$1
  adb_home=${2:-$HOME}
  mkdir -p "$adb_home"
  adb_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  HOME=$adb_home adb -P "$adb_port" nodaemon server >"$log" 2>&1 &
  adb_pid=$!
  if ! wait_tenths 150 adb_answers; then
    echo "the adb server did not start; see $log" >&2
    return 1
  fi
  export ANDROID_ADB_SERVER_PORT=$adb_port
}

phone_in_state() { our_adb devices 2>/dev/null | grep -q "^127\.0\.0\.1:$1[[:space:]]*$2\$"; }
read_phone_port() {
  phone_port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$1" 2>/dev/null)
  [ -n "$phone_port" ]
}

# start_phone PHONESIM OUT STATE [key=value ...]: starts the simulator (its output in OUT),
# connects the server to it and waits until the server lists it in STATE (device,
# unauthorized). Sets phone_port and phone_serial.
start_phone() {
  local sim=$1 out=$2 state=$3
  shift 3
  "$sim" "$@" >"$out" 2>&1 &
  phone_pids+=($!)
  phone_port=""
  if ! wait_tenths 100 read_phone_port "$out"; then
    echo "the simulated phone did not start; see $out" >&2
    return 1
  fi
  phone_serial=127.0.0.1:$phone_port
  our_adb connect "$phone_serial" >/dev/null 2>&1 || true
  if ! wait_tenths 150 phone_in_state "$phone_port" "$state"; then
    echo "the adb server does not list $phone_serial as $state" >&2
    return 1
  fi
}

stop_phones_and_adb() {
  if [ -n "$adb_pid" ] && kill -0 "$adb_pid" 2>/dev/null; then
    our_adb kill-server >/dev/null 2>&1 || kill "$adb_pid" 2>/dev/null || true
    wait "$adb_pid" 2>/dev/null || true
  fi
  adb_pid=""
  local pid
  for pid in "${phone_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  phone_pids=()
}
