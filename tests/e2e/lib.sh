# Shared steps of the end-to-end tests. Each test script is run by CTest
# inside the test network (tools/testnet exec) with the exe's path as $1.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
EXE="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
BUILD="$(dirname "$EXE")"
PROBE="$BUILD/tests/velnor_probe.exe"
WINE_RUN="$ROOT/tools/wine-run"
# Everything a test starts under Wine (reg included) shares the program's
# prefix: the 64-bit or the 32-bit one, by the exe under test. WINEPREFIX
# names that prefix's folder for the tests that look into it.
VELNOR_WINE_ARCH="$("$WINE_RUN" --arch "$EXE")"
WINEPREFIX="$("$WINE_RUN" --prefix "$EXE")"
export VELNOR_WINE_ARCH WINEPREFIX
TITLE="Velnor Network Util"
OUT="$BUILD/e2e/$(basename "$0" .sh)"
mkdir -p "$OUT"
APP_PIDS=()

probe() { "$WINE_RUN" "$PROBE" "$@" 2>/dev/null | tr -d '\r'; }

fail() {
  echo "FAIL: $*" >&2
  screenshot failure || true
  exit 1
}

check() {  # check "what" actual expected
  if [ "$2" != "$3" ]; then
    fail "$1: got [$2], expected [$3]"
  fi
  echo "ok: $1"
}

screenshot() { import -window root "$OUT/$1.png" 2>/dev/null && echo "screenshot: $OUT/$1.png"; }

# The program's Linux process keeps the id it was started with: the subshell
# and tools/wine-run each exec the next step. A copy already running in this
# network would make the new one show its one message and end, and the
# window seen then would be the old copy's: starting is refused instead.
start_app() {  # start_app [exe]
  local exe="${1:-$EXE}" running
  running=$(programs_running 'VelnorAgent([.]exe)?$')
  if [ -n "$running" ] || [ "$(probe count "$TITLE")" != 0 ]; then
    fail "a copy of the program already runs in this test network (process ids: ${running:-none seen}); not starting another"
  fi
  (cd "$(dirname "$exe")" && exec "$WINE_RUN" "$exe") >"$OUT/app.log" 2>&1 &
  APP_PIDS+=($!)
  APP_EXE="$exe"
}

# The Windows path of a file of this machine, as Wine shows it (drive Z:).
windows_path() { echo "Z:$1" | tr / '\\'; }

# restore_testnet: the test network as tools/testnet up makes it (the
# client's IPv4 and IPv6 addresses and routes, the gateway's addresses, its
# name and web servers), after a test changed it. A link set down loses its
# IPv6 addresses and routes with it; this gives them back too, so the tests
# after it (the other half's included) find the network they expect.
restore_testnet() { "$ROOT/tools/testnet" up >/dev/null; }

# Closes the program's window (the program then ends what it started) and
# stops the programs this test started, by the ids recorded at their start:
# nothing else, so a checkout running its own tests beside this one, or a
# program of the user's, is never touched.
stop_apps() {
  local pid alive
  # Nothing started: a window there is someone else's.
  [ "${#APP_PIDS[@]}" -gt 0 ] || return 0
  probe close "$TITLE" || true
  for _ in $(seq 50); do
    [ "$(probe count "$TITLE")" = "0" ] && break
    sleep 0.2
  done
  for pid in "${APP_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for _ in $(seq 25); do
    alive=0
    for pid in "${APP_PIDS[@]}"; do
      ps -o stat= -p "$pid" 2>/dev/null | grep -qv Z && alive=1
    done
    [ "$alive" = 0 ] && break
    sleep 0.2
  done
  for pid in "${APP_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  for pid in "${APP_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  APP_PIDS=()
}

# programs_running REGEX: the ids of the processes in this test network whose
# program (the first word of the command line, as Wine shows it: the path the
# program was started by, or its Windows path) matches. This script's own
# arguments name the exe too, so only the first word counts.
programs_running() {
  local pid ns="${VELNOR_CLIENT_NS:-velnor-client}"
  for pid in $(ip netns pids "$ns" 2>/dev/null); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline" | head -n 1 | grep -Eiq "$1" && echo "$pid"
  done
  return 0
}

trap stop_apps EXIT

# wait_main [ms]: the main window is there, and it is the copy start_app
# started: its process runs that exe, and the process started is alive.
wait_main() {
  probe wait "$TITLE" "${1:-60000}" || fail "main window did not appear"
  [ -n "${APP_EXE:-}" ] || return 0
  local owner want
  owner=$(probe modules "$TITLE" | head -n 1)
  want=$(windows_path "$APP_EXE")
  [ "${owner,,}" = "${want,,}" ] || fail "the window belongs to [$owner], not to the copy started ([$want])"
  kill -0 "${APP_PIDS[-1]}" 2>/dev/null || fail "the copy started has ended; the window is another's"
  echo "ok: the window is the started copy's ($owner)"
}

# wait_until "description" command... : polls for up to 60 s
wait_until() {
  local what="$1"; shift
  for _ in $(seq 300); do
    if "$@" >/dev/null 2>&1; then echo "ok: $what"; return 0; fi
    sleep 0.2
  done
  fail "timed out waiting for: $what"
}

# press_key KEYS...: real key presses (xdotool) on the main window.
press_key() {
  local xid
  xid=$(xdotool search --name "^$TITLE\$" | head -n 1)
  [ -n "$xid" ] || fail "no X window for the main window"
  xdotool windowfocus --sync "$xid" key "$@"
}

# start_on_test_panel [KEYS...]: starts the program, opens the test panel
# (btnAuto in the menu column) and presses the keys there (Return starts
# the automatic test).
start_on_test_panel() {
  start_app
  wait_main
  sleep 1
  probe click pnlMain 720 200  # btnAuto
  wait_until "test panel shown" sh -c "[ \"\$('$WINE_RUN' '$PROBE' visible pnlAuto 2>/dev/null | tr -d '\r')\" = 1 ]"
  [ "$#" = 0 ] || press_key "$@"
}
