#!/usr/bin/env bash
# The report leaves the window: "/test /report FILE" runs the test for a
# script and ends with its verdict (0 passed, 1 warned, 2 failed); on the
# real window Ctrl+S saves the same text onto the desktop and Ctrl+C copies
# it; a desktop it cannot write to is said and the program goes on.
source "$(dirname "$0")/lib.sh"

GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
restore() { for a in 10.77.1.1 10.77.1.3; do ip -n "$GW_NS" addr replace "$a/32" dev lo 2>/dev/null || true; done; }
DESKTOP="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
trap 'restore; rm -rf "$DESKTOP" && mkdir -p "$DESKTOP"; stop_apps' EXIT


# test_run name expected-code: the whole test from the command line.
test_run() {
  local report="$OUT/$1.txt" rc=0
  rm -f "$report"
  (cd "$BUILD" && timeout 180 "$WINE_RUN" "$EXE" /test /report "$(windows_path "$report")") >"$OUT/$1.log" 2>&1 || rc=$?
  check "$1: exit code" "$rc" "$2"
  [ -f "$report" ] || fail "$1: no report"
  tr -d '\r' <"$report" >"$OUT/$1.lf.txt"
  grep -cE '^[1-7] .*: (passed|warning|failed|not run)$' "$OUT/$1.lf.txt" | grep -qx 7 || fail "$1: not seven verdicts"
}
stage_verdicts() { grep -E '^[1-7] ' "$OUT/$1.lf.txt" | sed 's/ *: /:/' | cut -d: -f2 | paste -sd ' '; }

test_run passed 0
check "passed: the verdicts" "$(stage_verdicts passed)" "passed passed passed passed passed passed passed"

ip -n "$GW_NS" addr del 10.77.1.3/32 dev lo  # the second backbone is silent
test_run warned 1
check "warned: the verdicts" "$(stage_verdicts warned)" "passed passed passed warning passed passed passed"
restore

ip -n "$GW_NS" addr del 10.77.1.1/32 dev lo  # the provider's server is gone
test_run failed 2
check "failed: the verdicts" "$(stage_verdicts failed)" "passed passed failed not run not run not run not run"
restore

# The real window: a test by a real Enter, then the keys.
rm -rf "$DESKTOP" && mkdir -p "$DESKTOP"
start_on_test_panel Return
wait_until "the test ends" sh -c "'$WINE_RUN' '$PROBE' items lstEvents 2>/dev/null | grep -qE 'Connected OK|Connection to (Internet|Network) FAIL!'"
sleep 1
press_key ctrl+s
wait_until "a report on the desktop" sh -c "ls '$DESKTOP'/VelnorAgent-report-*.txt"
saved=$(ls "$DESKTOP"/VelnorAgent-report-*.txt | head -n 1)
echo "saved: $saved"
tr -d '\r' <"$saved" >"$OUT/saved.txt"
section() { awk -v t="$1" '$0 == t {on = 1; next} on && $0 == "" {exit} on' "$2"; }
check "the saved test log is the window's" "$(section "TEST LOG" "$OUT/saved.txt")" "$(probe text memOutput)"
check "the saved events are the window's" "$(section "EVENTS" "$OUT/saved.txt")" "$(probe items lstEvents)"
screenshot saved

press_key ctrl+c
sleep 1
probe clipboard >"$OUT/copied.txt"
check "the copied report is the saved one (but for its time)" "$(grep -v '^Made ' "$OUT/copied.txt")" \
  "$(grep -v '^Made ' "$OUT/saved.txt")"

# A second copy asked for a test while this one runs: no box for a script,
# the code of a test that could not start, at once.
rc=0
(cd "$BUILD" && timeout 60 "$WINE_RUN" "$EXE" /test) >"$OUT/second.log" 2>&1 || rc=$?
check "a second copy's test: exit code" "$rc" "3"
check "no message box" "$(probe dialog-text)" ""
check "the first copy is still there" "$(probe count "$TITLE")" "1"

# A desktop it cannot write to: a file where the folder should be.
rm -rf "$DESKTOP" && touch "$DESKTOP"
press_key ctrl+s
wait_until "the message" sh -c "'$WINE_RUN' '$PROBE' dialog-text 2>/dev/null | grep -q 'The report could not be saved'"
screenshot not-saved
probe dialog-ok
sleep 1
check "the program goes on" "$(probe count "$TITLE")" "1"
check "the log is still there" "$(probe text memOutput)" "$(section "TEST LOG" "$OUT/saved.txt")"
rm -f "$DESKTOP" && mkdir -p "$DESKTOP"

# The monitor's Ctrl+S: all eight pages, each under its caption, beside the
# main window's report.
MONITOR="TCP/IP/ARP Monitor:  Velnor v1.0.1 - 19 February 2012"
probe click pnlMain 720 130  # btnNetUtil: Ctrl+Shift+F12 belongs to the tools panel
sleep 1
press_key ctrl+shift+F12
probe wait "$MONITOR" 30000 || fail "the monitor did not open"
sleep 2
xid=$(xdotool search --name "^TCP/IP/ARP Monitor:" | head -n 1)
xdotool windowfocus --sync "$xid" key ctrl+s
wait_until "the monitor's pages on the desktop" sh -c "ls '$DESKTOP'/VelnorAgent-monitor-*.txt"
pages=$(ls "$DESKTOP"/VelnorAgent-monitor-*.txt | head -n 1)
tr -d '\r' <"$pages" >"$OUT/monitor.txt"
check "the monitor's captions" "$(grep '^== ' "$OUT/monitor.txt" | paste -sd ';')" \
  "== Adapters[Debug] ==;== CONNECTIONS TCP ==;== CONNECTIONS UDP ==;== IP-ADRESS TABLE ==;== IP-ROUTING TABLE ==;== ADAPTER/IF INFO ==;== ARP ==;== STATISTICS =="
grep -q "HOSTNAME          : " "$OUT/monitor.txt" || fail "the fixed network information is not in the saved pages"
screenshot monitor-saved
probe close "$MONITOR"
wait_until "the monitor hidden again" sh -c "[ \"\$('$WINE_RUN' '$PROBE' visible frmTCPIPMonitor 2>/dev/null | tr -d '\r')\" = 0 ]"
check "the program goes on after the monitor" "$(probe count "$TITLE")" "1"
