#!/usr/bin/env bash
# Closing never waits for what runs: during a long console command and
# during the automatic test the window goes at once, and the program, the
# command and everything the command started have ended within 2 s.
source "$(dirname "$0")/lib.sh"

GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
restore() { for a in 10.77.1.1 10.77.1.4; do ip -n "$GW_NS" addr replace "$a/32" dev lo 2>/dev/null || true; done; }
trap 'restore; stop_apps' EXIT
# Silent targets: every echo waits for its full time-out.
ip -n "$GW_NS" addr del 10.77.1.4/32 dev lo
ip -n "$GW_NS" addr del 10.77.1.1/32 dev lo

# The program, the interpreter and the console ping, in this network only.
left_over() {
  local pid
  for pid in $(programs_running '(VelnorAgent|cmd|ping)([.]exe)?$'); do
    echo "$pid $(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline")"
  done
}

close_and_measure() {  # close_and_measure what
  local hidden gone started rest total
  read -r hidden gone <<<"$(probe click-closes pnlHeader 778 22 "$TITLE")"  # btnExit
  [ -n "$gone" ] || fail "$1: the window did not close"
  started=$(date +%s%N)
  for _ in $(seq 200); do
    [ -z "$(left_over)" ] && break
    sleep 0.02
  done
  rest=$((($(date +%s%N) - started) / 1000000))
  total=$((gone + rest))
  echo "measured: $1: window hidden after $hidden ms, destroyed after $gone ms, every process gone after $total ms"
  [ -z "$(left_over)" ] || fail "$1: still running: $(left_over)"
  [ "$hidden" -le 600 ] || fail "$1: the window stayed for $hidden ms"
  [ "$total" -le 2000 ] || fail "$1: the program took $total ms to end"
  APP_PIDS=()
}

# During a console ping of a silent host (about 16 s if left alone).
start_app
wait_main
sleep 1
probe key "$TITLE" 120  # F9: btnPingTehran
wait_until "the command runs" sh -c "'$WINE_RUN' '$PROBE' text memToolsOutput 2>/dev/null | grep -q 'Start executing'"
sleep 2
running=$(left_over)
grep -Eiq 'VelnorAgent' <<<"$running" || fail "the program is not seen running: $running"
grep -Eiq ' ping ' <<<"$running" || fail "no console ping to end: $running"
echo "running before the close:"
echo "$running"
screenshot command-running
close_and_measure "closing during a command"

# During the automatic test, while stage 3 waits for its time-outs.
start_on_test_panel Return
wait_until "stage 3 pings" sh -c "'$WINE_RUN' '$PROBE' text memOutput 2>/dev/null | grep -q 'Fail ping\[10.77.1.1\]'"
screenshot test-running
close_and_measure "closing during a test"
