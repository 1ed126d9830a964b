#!/usr/bin/env bash
# A test reads the machine as it is when it starts, not as it was when the
# window opened: started with the client's link down, the link and its
# default route back before Start, every stage passes; with the client's
# address and gateway changed after the start and the old gateway silent,
# stage 2 pings the new one and passes.
source "$(dirname "$0")/lib.sh"

CLIENT_NS="${VELNOR_CLIENT_NS:-velnor-client}"
GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
# The test network as tools/testnet makes it, without the new router's
# addresses.
restore_network() {
  ip -n "$GW_NS" addr del 10.77.2.1/24 dev veth-velnor-gw 2>/dev/null || true
  ip -n "$CLIENT_NS" addr del 10.77.2.2/24 dev veth-velnor 2>/dev/null || true
  restore_testnet
}
DESKTOP="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
mkdir -p "$DESKTOP"
trap 'restore_network; stop_apps' EXIT


# Starts the program, runs one test by a real Enter on the test panel after
# change_network has run, and reads the lists back.
run_case() {  # run_case name change_network
  local name="$1" change="$2"
  start_app
  wait_main
  sleep 1
  "$change"
  probe click pnlMain 720 200  # btnAuto
  wait_until "$name: test panel shown" sh -c "[ \"\$('$WINE_RUN' '$PROBE' visible pnlAuto 2>/dev/null | tr -d '\r')\" = 1 ]"
  press_key Return
  wait_until "$name: the test ends" sh -c "'$WINE_RUN' '$PROBE' items lstEvents 2>/dev/null | grep -qE 'Connected OK|Connection to (Internet|Network) FAIL!|Ping Thread FAILED' || '$WINE_RUN' '$PROBE' text memOutput 2>/dev/null | grep -qE 'Ping Thread FAILED|No adapter has a default gateway|Get Client Adapters Information'"
  sleep 1
  events=$(probe items lstEvents)
  log=$(probe text memOutput)
  echo "$events" >"$OUT/events-$name.txt"
  echo "$log" >"$OUT/output-$name.txt"
  screenshot "$name"
}

expect_all_passed() {  # expect_all_passed name gateway
  local name="$1" gateway="$2"
  grep -qF "Ping Thread FAILED!" <<<"$log" && fail "$name: a ping stage failed"
  grep -qF "No adapter has a default gateway" <<<"$log" && fail "$name: stage 2 found no gateway"
  check "$name: queued items, in order" \
    "$(grep -F ' >> Pinging Item push to queue: ' <<<"$events" | sed 's/.*queue: //' | paste -sd ';')" \
    "$gateway;10.77.1.1;10.77.1.2|10.77.1.3;web1.velnor.test|web2.velnor.test"
  grep -qF "Pinging [$gateway] Passed by 100%" <<<"$events" || fail "$name: the gateway was not answered"
  for target in 10.77.1.1 10.77.1.2 10.77.1.3 web1.velnor.test web2.velnor.test; do
    grep -qF "Pinging [$target] Passed by 100%" <<<"$events" || fail "$name: no passed line for $target"
  done
  for line in "Adapter Loaded Successfully" "IP Address(es) Loaded Successfully" \
              "Network parameters Loaded Successfully"; do
    grep -qxF "$line" <<<"$log" || fail "$name: missing: $line"
  done
  grep -qF "Can\`t Get Client Adapters Information" <<<"$log" && fail "$name: the adapters read at the start were used"
  # The stages' verdicts as the report (Ctrl+S) gives them.
  rm -f "$DESKTOP"/VelnorAgent-report-*.txt
  press_key ctrl+s
  wait_until "$name: a report on the desktop" sh -c "ls '$DESKTOP'/VelnorAgent-report-*.txt"
  tr -d '\r' <"$(ls "$DESKTOP"/VelnorAgent-report-*.txt | head -n 1)" >"$OUT/report-$name.txt"
  check "$name: the verdicts" \
    "$(grep -E '^[1-7] ' "$OUT/report-$name.txt" | sed 's/ *: /:/' | cut -d: -f2 | paste -sd ' ')" \
    "passed passed passed passed passed passed passed"
  check "$name: the report's current gateway" \
    "$(grep -E '^Default gateway *:' "$OUT/report-$name.txt" | sed 's/^[^:]*: //' | tr -d ' ')" "$gateway"
  echo "ok: $name: every stage passed"
}

# 1. Opened while the cable is out; it comes back before Start.
ip -n "$CLIENT_NS" link set veth-velnor down
link_back() {
  ip -n "$CLIENT_NS" link set veth-velnor up
  ip -n "$CLIENT_NS" route replace default via 10.77.0.1
  sleep 1
}
run_case link-down-at-start link_back
expect_all_passed link-down-at-start 10.77.0.1
stop_apps
restore_network

# 2. A new router with a new address after the start; the old one is silent.
new_router() {
  ip -n "$GW_NS" addr add 10.77.2.1/24 dev veth-velnor-gw
  ip -n "$GW_NS" addr del 10.77.0.1/24 dev veth-velnor-gw
  ip -n "$CLIENT_NS" addr add 10.77.2.2/24 dev veth-velnor
  ip -n "$CLIENT_NS" addr del 10.77.0.2/24 dev veth-velnor
  ip -n "$CLIENT_NS" route replace default via 10.77.2.1
  sleep 1
}
run_case changed-gateway new_router
expect_all_passed changed-gateway 10.77.2.1
grep -qF "[10.77.0.1]" <<<"$events$log" && fail "changed-gateway: the old gateway was pinged"
echo "ok: the old gateway was not pinged"
