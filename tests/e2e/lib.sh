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
# and tools/wine-run each exec the next step.
start_app() {  # start_app [exe]
  local exe="${1:-$EXE}"
  (cd "$(dirname "$exe")" && exec "$WINE_RUN" "$exe") >"$OUT/app.log" 2>&1 &
  APP_PIDS+=($!)
}

# Closes the program's window (the program then ends what it started) and
# stops the programs this test started, by the ids recorded at their start:
# nothing else, so a checkout running its own tests beside this one, or a
# program of the user's, is never touched.
stop_apps() {
  local pid alive
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

wait_main() { probe wait "$TITLE" "${1:-60000}" || fail "main window did not appear"; }

# wait_until "description" command... : polls for up to 60 s
wait_until() {
  local what="$1"; shift
  for _ in $(seq 300); do
    if "$@" >/dev/null 2>&1; then echo "ok: $what"; return 0; fi
    sleep 0.2
  done
  fail "timed out waiting for: $what"
}
