#!/usr/bin/env bash
# A script's "/test" always ends with the truth and never waits for a
# person: a wrong command line ends at once with 3 and the usage text; a run
# closed during a stage that would fail, or whose session Windows ends,
# ends with 3 and a report saying it did not finish; a start error shows no
# box and goes into the report while the test runs; a second copy's /test
# ends at once with 3, without a box.
source "$(dirname "$0")/lib.sh"

GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
reg() { "$WINE_RUN" reg "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }
saved=$(reg query "$KEY" /v ProxyEnable | awk '$1 == "ProxyEnable" {print $2, $3}' || true)
restore() {
  ip -n "$GW_NS" addr replace 10.77.1.1/32 dev lo 2>/dev/null || true
  case "$saved" in
    REG_DWORD*) reg add "$KEY" /v ProxyEnable /t REG_DWORD /d "$(printf '%d' "${saved#REG_DWORD }")" /f >/dev/null ;;
    *) reg delete "$KEY" /v ProxyEnable /f >/dev/null || true ;;
  esac
}
trap 'restore; stop_apps' EXIT

no_box() { [ -z "$(probe dialog-text)" ] || fail "$1: a message box: $(probe dialog-text)"; }

# run_app name seconds args...: the exe from the command line, its code in RC
# and the time it took in SPENT (ms); its standard error in $OUT/name.err.
run_app() {
  local name="$1" limit="$2" started
  shift 2
  RC=0
  started=$(date +%s%N)
  (cd "$BUILD" && timeout "$limit" "$WINE_RUN" "$EXE" "$@") >"$OUT/$name.log" 2>"$OUT/$name.err" || RC=$?
  SPENT=$((($(date +%s%N) - started) / 1000000))
}

# A wrong command line: 3 within a few seconds, the usage text, no window.
for args in "/report /test" "/tset" "/test /report" "/report"; do
  name="usage-$(printf '%s' "$args" | tr -c 'a-z' '_')"
  # shellcheck disable=SC2086
  run_app "$name" 30 $args
  check "'$args': exit code" "$RC" "3"
  [ "$SPENT" -le 10000 ] || fail "'$args' took $SPENT ms"
  tr -d '\r' <"$OUT/$name.err" | grep -q '^Usage: VelnorAgent.exe' || fail "'$args': no usage text: $(cat "$OUT/$name.err")"
  check "'$args': no window" "$(probe count "$TITLE")" "0"
  echo "measured: '$args' ended after $SPENT ms"
done
tr -d '\r' <"$OUT/usage-_tset.err" | grep -qx 'Unknown switch: /tset' || fail "the unknown switch is not named"

# Ended during stage 3, which would fail (the provider's server is gone),
# by the window closed or by Windows ending the session (log-off): 3, and
# the report says the test did not finish, why, and what had run.
# end_during_stage NAME PROBE-ACTION REASON
end_during_stage() {
  local name=$1 action=$2 reason=$3 report="$OUT/$1.txt" rc=0 stages
  rm -f "$report"
  (cd "$BUILD" && exec timeout 180 "$WINE_RUN" "$EXE" /test /report "$(windows_path "$report")") >"$OUT/$name.log" 2>&1 &
  RUN=$!
  wait_main
  wait_until "$name: stage 3 pinging the silent server" sh -c "'$WINE_RUN' '$PROBE' text memOutput 2>/dev/null | grep -q 'Fail ping\[10.77.1.1\]'"
  probe "$action" "$TITLE" || true
  wait "$RUN" || rc=$?
  check "$name during a stage: exit code" "$rc" "3"
  [ -f "$report" ] || fail "$name: no report"
  tr -d '\r' <"$report" >"$OUT/$name.lf.txt"
  grep -qx "The test did not finish: $reason before it finished." "$OUT/$name.lf.txt" ||
    fail "$name: the report does not say the test did not finish"
  stages=$(grep -E '^[1-7] ' "$OUT/$name.lf.txt" | sed 's/ *: /:/' | cut -d: -f2 | paste -sd ',')
  check "$name: the stages" "$stages" "passed,passed,did not finish,not run,not run,not run,not run"
}
ip -n "$GW_NS" addr del 10.77.1.1/32 dev lo
end_during_stage closed close "the window was closed"
end_during_stage session endsession "Windows ended the session"
ip -n "$GW_NS" addr replace 10.77.1.1/32 dev lo

# A start error (the proxy switch stored as text): no box, the test runs,
# the report holds the error.
reg add "$KEY" /v ProxyEnable /t REG_SZ /d 1 /f >/dev/null
report="$OUT/start-error.txt"
rm -f "$report"
(cd "$BUILD" && exec timeout 180 "$WINE_RUN" "$EXE" /test /report "$(windows_path "$report")") >"$OUT/start-error.log" 2>"$OUT/start-error.err" &
RUN=$!
wait_main
for _ in $(seq 10); do no_box "start error"; sleep 0.5; done
rc=0
wait "$RUN" || rc=$?
check "start error: exit code (every stage passes)" "$rc" "0"
tr -d '\r' <"$report" >"$OUT/start-error.lf.txt"
awk '$0 == "MESSAGES" {on = 1; next} on && $0 == "" {exit} on' "$OUT/start-error.lf.txt" | grep -qxF "Invalid data type for 'ProxyEnable'" ||
  fail "start error: not in the report's messages"
tr -d '\r' <"$OUT/start-error.err" | grep -qxF "Invalid data type for 'ProxyEnable'" || fail "start error: not on the standard error"
restore

# A second copy's /test while the program runs: 3 at once, no box.
start_app
wait_main
run_app second 60 /test
check "second copy's test: exit code" "$RC" "3"
[ "$SPENT" -le 10000 ] || fail "the second copy took $SPENT ms"
echo "measured: the second copy ended after $SPENT ms"
no_box "second copy"
check "the first copy is still there" "$(probe count "$TITLE")" "1"
