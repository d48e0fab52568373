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
. "$(dirname "${BASH_SOURCE[0]}")/phone-env.sh"
root=$snapdeck_root
cd "$root"

say() { printf '[run] %s\n' "$*"; }

cleanup() {
  stop_phones_and_adb
  stop_wine_and_xvfb
}

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
say "starting an adb server of its own (log: $run/adb-server.log)"
start_adb_server "$run/adb-server.log"
start_phone "$run/phonesim" "$run/phonesim.out" device
say "simulated phone $phone_serial connected (settings: $run/phonesim.cfg)"
say "list the phones with:          adb -P $adb_port devices -l"

if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  say "no DISPLAY: started Xvfb on $DISPLAY (1280x1024)"
  say "take a screenshot of it with:  import -window root -display $DISPLAY shot.png"
  say "or drive it with:              DISPLAY=$DISPLAY xdotool ..."
fi

no_audio_without_sound_card && say "no sound card: Wine's audio drivers are left out"
say "Wine prefix: build/wine-run"
wine_prefix "$root/build/wine-run"

say "starting Snapdeck in $run (settings: $run/Snapdeck.ini, device simulator: $run/devicesim.cfg)"
cd "$run"
rc=0
wine Snapdeck.exe || rc=$?
say "Snapdeck ended (exit code $rc)"
exit $rc
