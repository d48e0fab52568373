#!/usr/bin/env bash
# The one test command. Installs what is missing, builds the native, fuzz and Windows
# presets and runs every suite: unit and integration tests natively (ASan + UBSan), each
# fuzz target briefly, then the Windows tests and the end-to-end tests under Wine on a
# private Xvfb display with a fresh Wine prefix. Ends with "N passed, N failed".
#
#   bash tools/test.sh                 everything
#   bash tools/test.sh unit            one suite: unit | integration | fuzz | windows | e2e
#
# Logs: build/test-logs/<suite>.log. Exit status 0 only when nothing failed.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
. "$(dirname "${BASH_SOURCE[0]}")/fuzz-lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/phone-env.sh"
root=$snapdeck_root
cd "$root"

only=${1:-all}
case $only in
  all | unit | integration | fuzz | windows | e2e) ;;
  -h | --help)
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  *)
    echo "unknown suite '$only' (use unit, integration, fuzz, windows or e2e)" >&2
    exit 2
    ;;
esac
want() { [ "$only" = all ] || [ "$only" = "$1" ]; }

logs=$root/build/test-logs
fuzz_tmp=""
total_passed=0
total_failed=0
started=$(date +%s)

# The local HTTP server of the update tests; only the one started here is ended.
http_pid=""
start_http_server() {
  [ -n "$http_pid" ] && return 0
  local port_file=$logs/http-server.port
  rm -f "$port_file"
  mkdir -p "$root/build/e2e-work"
  python3 "$root/tools/http_test_server.py" --port-file "$port_file" --root "$root/build/e2e-work" \
    --keys "$test_keys" >"$logs/http-server.log" 2>&1 &
  http_pid=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$port_file" ] && break
    kill -0 "$http_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$port_file" ]; then
    echo "the local HTTP server did not start; log: ${logs#"$root"/}/http-server.log" >&2
    return 1
  fi
  SNAPDECK_TEST_HTTP_PORT=$(cat "$port_file")
  export SNAPDECK_TEST_HTTP_PORT
}
stop_http_server() {
  if [ -n "$http_pid" ]; then
    kill "$http_pid" 2>/dev/null || true
    wait "$http_pid" 2>/dev/null || true
    http_pid=""
  fi
}

cleanup() {
  stop_http_server
  stop_phones_and_adb
  stop_wine_and_xvfb
  [ -n "$fuzz_tmp" ] && rm -rf "$fuzz_tmp"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { printf '[test] %s\n' "$*"; }

# suite-line: name, passed, failed, note
suite_line() {
  local name=$1 passed=$2 failed=$3 note=${4:-}
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  local state=ok
  [ "$failed" -gt 0 ] && state=FAILED
  printf '%-12s %-7s %4d passed, %4d failed  %s\n' "$name" "$state" "$passed" "$failed" "$note"
}

skipped() { printf '%-12s %-7s %s\n' "$1" skipped "$2"; }

# Shows the failing test names of a gtest log, or its tail when it has none.
show_failures() {
  local log=$1
  if grep -q '^\[  FAILED  \] [A-Za-z_]' "$log"; then
    grep '^\[  FAILED  \] [A-Za-z_]' "$log" | sed 's/ ([0-9]* ms)$//' | sort -u | sed 's/^/    /'
    # The reasons too, so that a failure seen once (a CI run, a later run overwriting the
    # log) can still be traced.
    { grep -a -A4 ': Failure$' "$log" || true; } | head -n 60 | sed 's/^/    /'
  else
    tail -n 25 "$log" | sed 's/^/    /'
  fi
}

# Counts of a gtest run from its log and exit status; sets g_passed and g_failed.
parse_gtest() {
  local log=$1 rc=$2 p f
  p=$(grep -aoE '^\[  PASSED  \] [0-9]+ test' "$log" | tail -n 1 | grep -oE '[0-9]+' || true)
  f=$(grep -aoE '^\[  FAILED  \] [0-9]+ test' "$log" | tail -n 1 | grep -oE '[0-9]+' || true)
  if [ -n "$p" ]; then
    g_passed=$p
    g_failed=${f:-0}
    # Ended badly after the summary (a sanitizer report at exit, a crash in teardown).
    if [ "$rc" -ne 0 ] && [ "$g_failed" -eq 0 ]; then g_failed=1; fi
  else
    # No summary: the binary crashed, hung or could not start.
    g_passed=$(grep -acE '^\[       OK \]' "$log" || true)
    g_failed=$(grep -aE '^\[  FAILED  \] [A-Za-z_]' "$log" | sed 's/ ([0-9]* ms)$//' | sort -u | grep -c . || true)
    g_failed=$((g_failed + 1))
  fi
}

# run_gtest name log timeout command...
run_gtest() {
  local name=$1 log=$2 limit=$3
  shift 3
  local rc=0
  timeout --kill-after=10 "$limit" "$@" >"$log" 2>&1 || rc=$?
  [ $rc -eq 124 ] && echo "[test.sh] timed out after $limit s" >>"$log"
  parse_gtest "$log" "$rc"
  local note="log: ${log#"$root"/}"
  [ $rc -eq 124 ] && note="TIMED OUT; $note"
  suite_line "$name" "$g_passed" "$g_failed" "$note"
  [ "$g_failed" -gt 0 ] && show_failures "$log"
  return 0
}

# The update tests' keys, made once with openssl and kept under build/ (never
# committed): "update" is built into the test build and signs its updates, "other"
# is a stranger's key.
test_keys=$root/build/test-keys
make_test_keys() {
  mkdir -p "$test_keys"
  local k
  for k in update other; do
    if [ ! -s "$test_keys/$k.pem" ]; then
      openssl ecparam -name prime256v1 -genkey -noout -out "$test_keys/$k.pem.part" &&
        mv "$test_keys/$k.pem.part" "$test_keys/$k.pem" || return 1
    fi
    openssl ec -in "$test_keys/$k.pem" -pubout -out "$test_keys/$k.pub.pem" 2>/dev/null || return 1
  done
}

# build preset [cmake arguments]: configure and build; a failure counts as one failed test.
built_ok=()
build_preset() {
  local preset=$1 log=$logs/build-$1.log rc=0
  shift
  local t0
  t0=$(date +%s)
  say "building preset $preset (log: ${log#"$root"/})"
  {
    cmake --preset "$preset" "$@" && cmake --build "build/$preset" -j2 -- -k 0
  } >"$log" 2>&1 || rc=$?
  if [ $rc -ne 0 ]; then
    suite_line "build-$preset" 0 1 "log: ${log#"$root"/}"
    grep -aE 'error|Error' "$log" | head -n 20 | sed 's/^/    /'
  else
    say "preset $preset built in $(($(date +%s) - t0)) s"
    built_ok+=("$preset")
  fi
}

rm -rf "$logs"
mkdir -p "$logs"

say "checking the tools (tools/setup.sh)"
setup_args=()
want fuzz && setup_args=(fuzz)
if ! bash "$root/tools/setup.sh" "${setup_args[@]}" >"$logs/setup.log" 2>&1; then
  cat "$logs/setup.log" >&2
  echo "setup failed; nothing was built" >&2
  echo "0 passed, 1 failed"
  exit 1
fi

if want unit || want integration; then build_preset native; fi
if want fuzz; then build_preset fuzz; fi
if want windows || want e2e; then
  if make_test_keys >"$logs/test-keys.log" 2>&1; then
    build_preset windows -DSNAPDECK_TEST_UPDATE_KEY="$test_keys/update.pub.pem"
  else
    suite_line test-keys 0 1 "openssl could not make the update tests' keys; log: build/test-logs/test-keys.log"
  fi
fi

# A release made by the publishing command with the tests' key, which the e2e tests
# install; a failure counts as one failed test.
release_ok=0
if want e2e && [ -s "$test_keys/update.pem" ]; then
  say "making a release with the tests' key (log: build/test-logs/release.log)"
  if bash "$root/tools/release.sh" 1.68 "$test_keys/update.pem" "$root/build/test-release" \
    >"$logs/release.log" 2>&1; then
    release_ok=1
  else
    suite_line release 0 1 "tools/release.sh failed; log: build/test-logs/release.log"
    tail -n 15 "$logs/release.log" | sed 's/^/    /'
  fi
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# --- native suites -------------------------------------------------------------------
if want unit; then
  bin=build/native/tests/unit_tests
  if [ -x "$bin" ]; then
    run_gtest unit "$logs/unit.log" 900 "$bin"
  else
    skipped unit "no binary (no unit tests yet)"
  fi
fi

if want integration; then
  bin=build/native/tests/integration_tests
  if [ -x "$bin" ]; then
    run_gtest integration "$logs/integration.log" 900 "$bin"
  else
    skipped integration "no binary (no integration tests yet)"
  fi
fi

# --- fuzz targets: each briefly, new inputs into a scratch folder ---------------------
if want fuzz; then
  mapfile -t targets < <(fuzz_targets build/fuzz/fuzz)
  if [ ${#targets[@]} -eq 0 ]; then
    skipped fuzz "no fuzz targets yet"
  else
    fuzz_tmp=$(mktemp -d)
    fp=0
    ff=0
    for bin in "${targets[@]}"; do
      name=$(basename "$bin")
      log=$logs/fuzz-$name.log
      rc=0
      fuzz_run "$bin" 10 "$fuzz_tmp/$name" "$log" "$logs/fuzz-artifacts/$name-" || rc=$?
      edges=$(fuzz_edges "$log")
      if [ $rc -eq 3 ]; then
        ff=$((ff + 1))
        echo "    $name did not run its 10 s; log: ${log#"$root"/}"
        tail -n 3 "$log" | sed 's/^/    /'
      elif [ $rc -ne 0 ]; then
        ff=$((ff + 1))
        echo "    $name failed (exit $rc); log: ${log#"$root"/}"
        grep -aE 'ERROR|SUMMARY|Test unit written' "$log" | head -n 5 | sed 's/^/    /'
      elif [[ " ${fuzz_library_targets[*]} " == *" $name "* ]] && [ "${edges:-0}" -lt $fuzz_min_library_edges ]; then
        # Far too few edges: the library's own parsing is not instrumented.
        ff=$((ff + 1))
        echo "    $name reached only ${edges:-0} edges: not linked against the instrumented libraries"
      else
        fp=$((fp + 1))
      fi
    done
    suite_line fuzz "$fp" "$ff" "${#targets[@]} targets, 10 s each; logs: build/test-logs/fuzz-*.log"
  fi
fi
# --- Windows suites under Wine ----------------------------------------------------------
wine_ready=0
prepare_wine() {
  [ $wine_ready = 1 ] && return 0
  say "starting Xvfb and a fresh Wine prefix (build/wine-test)"
  start_xvfb || return 1
  fresh_wine_prefix "$root/build/wine-test"
  wine_ready=1
}

if want windows; then
  bin=build/windows/tests/windows_tests.exe
  if [ -f "$bin" ]; then
    prepare_wine
    start_http_server
    run_gtest windows "$logs/windows.log" 900 wine "$bin"
  else
    skipped windows "no binary (no Windows tests yet)"
  fi
fi

# The phone tests' adb server (its own port and HOME) with a phone of 200 x 300 (its log
# in build/test-logs/phone-e2e.log) and an unauthorized one; every other test gets a port
# where no server answers, so a server of the machine's own never changes what they see.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# A foldable, a black phone and a failing one on a second server, so the phones above stay
# alone on theirs; the first server stays the one stop_phones_and_adb ends.
trouble_adb=()
start_e2e_troubled_phones() {
  local first=("$adb_port" "$adb_pid" "$adb_home")
  if start_adb_server "$logs/adb-e2e-trouble.log" "$root/build/e2e-adb-home" &&
    start_phone "$sim" "$logs/phone-e2e-fold.out" device width=120 height=200 displays=2 \
      display2.width=90 display2.height=150 model=Fold_Sim; then
    SNAPDECK_E2E_FOLD_PHONE=$phone_serial
    if start_phone "$sim" "$logs/phone-e2e-black.out" device width=60 height=80 screen=black \
      model=Black_Sim; then
      SNAPDECK_E2E_BLACK_PHONE=$phone_serial
      if start_phone "$sim" "$logs/phone-e2e-failing.out" device screencap=fail model=Broken_Sim; then
        SNAPDECK_E2E_FAILING_PHONE=$phone_serial
        SNAPDECK_E2E_TROUBLE_ADB_PORT=$adb_port
        export SNAPDECK_E2E_FOLD_PHONE SNAPDECK_E2E_BLACK_PHONE SNAPDECK_E2E_FAILING_PHONE \
          SNAPDECK_E2E_TROUBLE_ADB_PORT
      fi
    fi
  fi
  trouble_adb=("$adb_port" "$adb_pid" "$adb_home")
  adb_port=${first[0]} adb_pid=${first[1]} adb_home=${first[2]}
}

stop_e2e_phones() {
  stop_phones_and_adb
  if [ ${#trouble_adb[@]} -eq 3 ]; then
    adb_port=${trouble_adb[0]} adb_pid=${trouble_adb[1]} adb_home=${trouble_adb[2]}
    stop_phones_and_adb
  fi
}

start_e2e_phones() {
  local sim=build/native/tools/devicesim/phonesim log=$logs/build-phonesim.log
  SNAPDECK_E2E_NO_ADB_PORT=$(free_port)
  export SNAPDECK_E2E_NO_ADB_PORT
  if ! { cmake --preset native && cmake --build build/native -j2 --target phonesim; } >"$log" 2>&1; then
    echo "the simulated phone was not built; log: ${log#"$root"/}" >&2
  elif start_adb_server "$logs/adb-e2e.log" "$root/build/e2e-adb-home" &&
    start_phone "$sim" "$logs/phone-e2e.out" device width=200 height=300 log="$logs/phone-e2e.log"; then
    SNAPDECK_E2E_PHONE=$phone_serial
    SNAPDECK_E2E_PHONE_LOG=$(win_path "$logs/phone-e2e.log")
    if start_phone "$sim" "$logs/phone-e2e-unauthorized.out" unauthorized state=unauthorized; then
      SNAPDECK_E2E_UNAUTHORIZED_PHONE=$phone_serial
      SNAPDECK_E2E_ADB_PORT=$adb_port
      export SNAPDECK_E2E_PHONE SNAPDECK_E2E_PHONE_LOG SNAPDECK_E2E_UNAUTHORIZED_PHONE \
        SNAPDECK_E2E_ADB_PORT
    fi
    start_e2e_troubled_phones
  fi
  export ANDROID_ADB_SERVER_PORT=$SNAPDECK_E2E_NO_ADB_PORT
}

if want e2e; then
  bin=build/windows/tests/e2e_tests.exe
  exe=build/windows/Snapdeck.exe
  sim=$(find build/windows -name javaloader.exe -type f 2>/dev/null | head -n 1)
  if [ ! -f "$bin" ]; then
    skipped e2e "no binary (no e2e tests yet)"
  elif [ ! -f "$exe" ]; then
    suite_line e2e 0 1 "Snapdeck.exe was not built"
  else
    prepare_wine
    work=$root/build/e2e-work
    rm -rf "$work"
    mkdir -p "$work"
    start_http_server
    SNAPDECK_EXE=$(win_path "$exe")
    DEVICESIM_EXE=""
    [ -n "$sim" ] && DEVICESIM_EXE=$(win_path "$sim")
    SNAPDECK_E2E_WORK=$(win_path "$work")
    SNAPDECK_TEST_RELEASE=""
    [ $release_ok = 1 ] && SNAPDECK_TEST_RELEASE=$(win_path "$root/build/test-release")
    export SNAPDECK_EXE DEVICESIM_EXE SNAPDECK_E2E_WORK SNAPDECK_TEST_RELEASE
    start_e2e_phones
    run_gtest e2e "$logs/e2e.log" 1500 wine "$bin"
    stop_e2e_phones
  fi
fi

elapsed=$(($(date +%s) - started))
say "finished in $((elapsed / 60)) min $((elapsed % 60)) s"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
