# Shared helpers of tools/test.sh and tools/run.sh: a private X display and a private
# Wine prefix, and the cleanup of exactly the processes started here.
# Source it; it defines functions and variables only.

snapdeck_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# On a machine without a sound card Wine's audio drivers print a screenful of ALSA
# errors when a program first asks for a sound device; without them it finds none,
# which is what it would find anyway. A machine with a card keeps its sound.
no_audio_without_sound_card() {
  if ! compgen -G '/dev/snd/pcmC*' >/dev/null && [ -z "${PULSE_SERVER:-}" ]; then
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv,wineoss.drv="
    return 0
  fi
  return 1
}

xvfb_pid=""
xvfb_display=""
wine_prefix_started=""

# Unix path -> the Windows path Wine sees for it (drive Z: is the Unix root).
win_path() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}

# Starts Xvfb on the first free display from :90 on and exports DISPLAY.
start_xvfb() {
  local n=90
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do
    n=$((n + 1))
    if [ $n -gt 199 ]; then
      echo "no free X display between :90 and :199" >&2
      return 1
    fi
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  local i
  for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${n}" ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      # Lost a race for this display number: try the next one.
      xvfb_pid=""
      start_xvfb
      return
    fi
    sleep 0.1
  done
  xvfb_display=":$n"
  export DISPLAY=":$n"
}

# Creates a fresh Wine prefix in $1 and exports WINEPREFIX.
fresh_wine_prefix() {
  local prefix=$1
  if [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
  mkdir -p "$(dirname "$prefix")"
  export WINEPREFIX="$prefix"
  wine_prefix_started="$prefix"
  wineboot -i >/dev/null 2>&1
  # The first boot leaves wineserver busy for a moment; wait for it to settle.
  wineserver -w >/dev/null 2>&1 || true
}

# Uses an existing prefix in $1 (creating it when missing) and exports WINEPREFIX.
wine_prefix() {
  local prefix=$1
  export WINEPREFIX="$prefix"
  wine_prefix_started="$prefix"
  if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    wineboot -i >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1 || true
  fi
}

# Ends the wineserver of our prefix and our Xvfb; never anything else.
stop_wine_and_xvfb() {
  if [ -n "$wine_prefix_started" ]; then
    WINEPREFIX="$wine_prefix_started" wineserver -k >/dev/null 2>&1 || true
    wine_prefix_started=""
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}
