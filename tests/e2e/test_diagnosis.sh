#!/usr/bin/env bash
# The finding after a test, for real faults made in the test network: each
# fault is made (a link down, an address taken away, a service stopped, a
# filter, a proxy), the test is started by a real Enter key, and the finding
# the window shows (read back from the report it saves) must name it. One
# screenshot per finding is kept.
source "$(dirname "$0")/lib.sh"

GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
CLIENT_NS="${VELNOR_CLIENT_NS:-velnor-client}"
TESTNET="$ROOT/tools/testnet"
DESKTOP="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
INET='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'

# Every fault undone, whichever one a failure left behind.
restore() {
  ip netns exec "$GW_NS" nft delete table ip velnor_diag 2>/dev/null || true
  ip -n "$CLIENT_NS" link set veth-velnor up 2>/dev/null || true
  ip -n "$CLIENT_NS" -4 addr flush dev veth-velnor 2>/dev/null || true
  restore_testnet
  "$WINE_RUN" reg add "$INET" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
}
trap 'restore; stop_apps' EXIT
restore

memo_visible() { [ "$("$WINE_RUN" "$PROBE" visible memOutput 2>/dev/null | tr -d '\r')" = "$1" ]; }

# diagnose name expected-code: one test by Enter, its finding from the
# report the window saves, and a screenshot of the finding on the panel.
diagnose() {
  local name=$1 expected=$2 saved started
  rm -rf "$DESKTOP" && mkdir -p "$DESKTOP"
  started=$(date +%s%N)
  press_key Return
  sleep 1
  wait_until "$name: the finding is shown" memo_visible 0
  echo "$name: test and finding in $(( ($(date +%s%N) - started) / 1000000 )) ms"
  sleep 0.5
  screenshot "finding-$name"
  press_key ctrl+s
  wait_until "$name: the report saved" sh -c "ls '$DESKTOP'/VelnorAgent-report-*.txt"
  saved=$(ls "$DESKTOP"/VelnorAgent-report-*.txt | head -n 1)
  tr -d '\r' <"$saved" >"$OUT/report-$name.txt"
  awk '/^DIAGNOSIS$/ {on = 1} on && /^$/ {exit} on' "$OUT/report-$name.txt" | sed 's/^/  /'
  check "$name: the finding" "$(sed -n 's/^Finding code *: //p' "$OUT/report-$name.txt" | head -n 1)" "$expected"
}

start_app
wait_main
sleep 1
probe click pnlMain 720 200  # btnAuto
wait_until "test panel shown" sh -c "[ \"\$('$WINE_RUN' '$PROBE' visible pnlAuto 2>/dev/null | tr -d '\r')\" = 1 ]"

diagnose working all_working
grep -qE '^  Web request *: http://10.77.1.1/: status 200 from 10.77.1.1' "$OUT/report-working.txt" ||
  fail "the web request's evidence is missing"
grep -qE '^  Name server \(DNS\) *: 10.77.1.53 answers' "$OUT/report-working.txt" || fail "the name server's evidence"
# The log is one key away, and back.
press_key F3
wait_until "F3 shows the test log" memo_visible 1
press_key F3
wait_until "F3 shows the finding again" memo_visible 0

ip -n "$CLIENT_NS" link set veth-velnor down
diagnose link-down no_adapter
restore

# The faults seen by pings alone read the same evidence on both targets: the
# 32-bit half runs the ones that go through the other checks (link, names,
# web, proxy) and leaves these to the 64-bit half.
if [ "$VELNOR_WINE_ARCH" = win64 ]; then
  ip -n "$CLIENT_NS" -4 addr flush dev veth-velnor
  ip -n "$CLIENT_NS" addr add 169.254.20.7/16 dev veth-velnor
  diagnose automatic-address automatic_address
  restore

  ip -n "$CLIENT_NS" route del default
  diagnose no-route no_gateway
  restore

  ip netns exec "$GW_NS" nft add table ip velnor_diag
  ip netns exec "$GW_NS" nft add chain ip velnor_diag input '{ type filter hook input priority 0; }'
  ip netns exec "$GW_NS" nft add rule ip velnor_diag input ip daddr 10.77.0.1 icmp type echo-request drop
  diagnose gateway-silent router_silent
  restore

  ip -n "$GW_NS" addr del 10.77.1.1/32 dev lo
  diagnose provider-gone provider_silent
  restore

  ip netns exec "$GW_NS" nft add table ip velnor_diag
  ip netns exec "$GW_NS" nft add chain ip velnor_diag input '{ type filter hook input priority 0; }'
  ip netns exec "$GW_NS" nft add rule ip velnor_diag input ip daddr 10.77.1.2 icmp type echo-request numgen inc mod 2 == 0 drop
  diagnose backbone-lossy unstable_line
  grep -qF "beyond the provider" "$OUT/report-backbone-lossy.txt" || fail "the unstable line is not placed beyond the provider"
  restore
else
  echo "branch: the address, route, router, provider and unstable-line faults run on the 64-bit half only"
fi

"$TESTNET" dns stop
diagnose dns-stopped names_fail
grep -qE '10.77.1.53 does not answer' "$OUT/report-dns-stopped.txt" || fail "the silent name server is not named"
restore

"$TESTNET" web stop
diagnose web-closed web_fails
restore

"$TESTNET" web redirect
diagnose web-redirected web_redirected
grep -qF "http://portal.velnor.test/login" "$OUT/report-web-redirected.txt" || fail "the page it ended at is not named"
restore

"$WINE_RUN" reg add "$INET" /v ProxyServer /t REG_SZ /d 10.77.1.1:3128 /f >/dev/null 2>&1
"$WINE_RUN" reg add "$INET" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
diagnose proxy-closed proxy_silent
restore

diagnose working-again all_working
