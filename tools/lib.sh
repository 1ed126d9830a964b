# Shared steps of tools/run, tools/test, tools/bench and tools/wine-run:
# the virtual display, the test network and the clean-up at exit. Sourced,
# never run; it sets ROOT and leaves the current directory alone. Everything
# a tool starts in the background it registers with started_pid, and only
# those processes are stopped at exit, by their ids.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

STARTED_PIDS=()
EXIT_STEPS=()

# started_pid PID: a process of this tool's to stop when it exits.
started_pid() { STARTED_PIDS+=("$1"); }

# at_exit "COMMAND ...": one more step of the clean-up, run before the
# registered processes are stopped.
at_exit() { EXIT_STEPS+=("$1"); }

run_exit_steps() {
  local step pid
  for step in "${EXIT_STEPS[@]}"; do eval "$step" || true; done
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  return 0
}

# with_cleanup: from here on, exiting (also by Ctrl+C) runs the clean-up.
with_cleanup() {
  trap run_exit_steps EXIT
  trap 'exit 130' INT TERM
}

# start_xvfb NUM [SIZE] [--detached]: starts a virtual display :NUM (no
# screen saver: with one, the screen turns black after ten idle minutes and
# pixel checks read black) and waits until it takes clients. Sets XVFB_PID.
# A detached display is left running for whoever comes next; it is in a
# session of its own, so Ctrl+C in this terminal does not end it.
start_xvfb() {
  local num=$1 size=${2:-1280x1024x24} detach=()
  [ "${3:-}" = --detached ] && detach=(setsid)
  rm -f "/tmp/.X11-unix/X$num" "/tmp/.X$num-lock"
  "${detach[@]}" Xvfb ":$num" -screen 0 "$size" -nolisten tcp -s 0 </dev/null >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$num" ] && break; sleep 0.1; done
}

# use_display DEFAULT_NUM [SIZE]: the caller's $DISPLAY when set; otherwise
# a display of this tool's own on :${VELNOR_DISPLAY:-DEFAULT_NUM}, stopped
# at exit.
use_display() {
  [ -z "${DISPLAY:-}" ] || return 0
  local num=${VELNOR_DISPLAY:-$1}
  start_xvfb "$num" "${2:-}"
  started_pid "$XVFB_PID"
  export DISPLAY=":$num"
}

# fresh_testnet: the test network, built anew, and taken down at exit.
fresh_testnet() {
  at_exit '"$ROOT/tools/testnet" down'
  "$ROOT/tools/testnet" down
  "$ROOT/tools/testnet" up
}
