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
