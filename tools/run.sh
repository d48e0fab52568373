#!/usr/bin/env bash
# The one start command: installs what is missing, builds Snapdeck.exe and the device
# simulator for Windows, lays out build/run/ (Snapdeck.exe, the simulator as
# javaloader.exe and its devicesim.cfg with one device) and starts Snapdeck under Wine
# with build/run as its working folder, so "take screenshot" works at once.
# Beside the handheld it starts Android's adb server on a free port of its own with one
# simulated phone (build/run/phonesim and its phonesim.cfg) and hands that port to
# Snapdeck in ANDROID_ADB_SERVER_PORT; both end with this command.
# Without a DISPLAY it starts its own Xvfb and says where the screen is.
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
root=$snapdeck_root
cd "$root"

say() { printf '[run] %s\n' "$*"; }

# The adb server and the simulated phone started here; only they are ended.
adb_port=""
adb_pid=""
phone_pid=""
stop_phone_and_adb() {
  if [ -n "$adb_pid" ] && kill -0 "$adb_pid" 2>/dev/null; then
    adb -P "$adb_port" kill-server >/dev/null 2>&1 || kill "$adb_pid" 2>/dev/null || true
    wait "$adb_pid" 2>/dev/null || true
  fi
  if [ -n "$phone_pid" ]; then
    kill "$phone_pid" 2>/dev/null || true
    wait "$phone_pid" 2>/dev/null || true
  fi
  adb_pid="" phone_pid=""
}
cleanup() {
  stop_phone_and_adb
  stop_wine_and_xvfb
}

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_for() {
  local i
  for ((i = 0; i < $2; i++)); do
    "$1" && return 0
    sleep 0.1
  done
  return 1
}
adb_answers() { (exec 3<>"/dev/tcp/127.0.0.1/$adb_port") 2>/dev/null; }
phone_listening() {
  phone_port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$run/phonesim.out")
  [ -n "$phone_port" ]
}
# Only while our server runs: the adb command line starts a server of its own otherwise.
phone_listed() { kill -0 "$adb_pid" 2>/dev/null && adb -P "$adb_port" devices 2>/dev/null | grep -q "^127\.0\.0\.1:$phone_port[[:space:]]*device$"; }

trap cleanup EXIT
trap 'exit 130' INT TERM

say "checking the tools (tools/setup.sh)"
bash tools/setup.sh

mkdir -p build
log=build/run-build.log
say "building the windows preset (log: $log)"
if ! { cmake --preset windows && cmake --build build/windows -j2 --target Snapdeck devicesim; } >"$log" 2>&1; then
  grep -aE 'error|Error' "$log" | head -n 30 >&2
  echo "the build failed; see $log" >&2
  exit 1
fi
# The phone simulator runs natively beside Wine, optimised as the benchmarks are.
say "building the simulated phone (bench preset, log: $log)"
if ! { cmake --preset bench && cmake --build build/bench -j2 --target phonesim; } >>"$log" 2>&1; then
  grep -aE 'error|Error' "$log" | head -n 30 >&2
  echo "the build failed; see $log" >&2
  exit 1
fi

exe=build/windows/Snapdeck.exe
sim=$(find build/windows -name javaloader.exe -type f | head -n 1)
if [ ! -f "$exe" ] || [ -z "$sim" ]; then
  echo "Snapdeck.exe or the device simulator (javaloader.exe) was not built" >&2
  exit 1
fi

run=build/run
mkdir -p "$run"
cp "$exe" "$run/Snapdeck.exe"
cp "$sim" "$run/javaloader.exe"
if [ ! -f "$run/devicesim.cfg" ]; then
  cat >"$run/devicesim.cfg" <<'EOF'
# The simulated handhelds (tools/devicesim/README.md lists every key).
devices = 1
width = 240
height = 160
EOF
fi

cp build/bench/tools/devicesim/phonesim "$run/phonesim"
if [ ! -f "$run/phonesim.cfg" ]; then
  cat >"$run/phonesim.cfg" <<'EOF'
# The simulated Android phone (tools/devicesim/README.md lists every key).
width = 1080
height = 2400
EOF
fi

# Android's own server on a port of its own, so a server the user runs on 5037 is left
# alone; a real phone plugged into this machine shows up beside the simulated one.
adb_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
say "starting the adb server on port $adb_port (log: $run/adb-server.log)"
adb -P "$adb_port" nodaemon server >"$run/adb-server.log" 2>&1 &
adb_pid=$!
if ! wait_for adb_answers 150; then
  echo "the adb server did not start; see $run/adb-server.log" >&2
  exit 1
fi
"$run/phonesim" >"$run/phonesim.out" 2>&1 &
phone_pid=$!
phone_port=""
if ! wait_for phone_listening 100; then
  echo "the simulated phone did not start; see $run/phonesim.out" >&2
  exit 1
fi
adb -P "$adb_port" connect "127.0.0.1:$phone_port" >/dev/null
if ! wait_for phone_listed 150; then
  echo "the adb server does not list the simulated phone 127.0.0.1:$phone_port" >&2
  exit 1
fi
say "simulated phone 127.0.0.1:$phone_port connected (settings: $run/phonesim.cfg)"
say "list the phones with:          adb -P $adb_port devices -l"
export ANDROID_ADB_SERVER_PORT=$adb_port

if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  say "no DISPLAY: started Xvfb on $DISPLAY (1280x1024)"
  say "take a screenshot of it with:  import -window root -display $DISPLAY shot.png"
  say "or drive it with:              DISPLAY=$DISPLAY xdotool ..."
fi

say "Wine prefix: build/wine-run"
wine_prefix "$root/build/wine-run"

say "starting Snapdeck in $run (settings: $run/Snapdeck.ini, device simulator: $run/devicesim.cfg)"
cd "$run"
rc=0
wine Snapdeck.exe || rc=$?
say "Snapdeck ended (exit code $rc)"
exit $rc
