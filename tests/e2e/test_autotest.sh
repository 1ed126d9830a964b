#!/usr/bin/env bash
# The one-click test for real in the test network: started by a real Enter
# key on the test panel, every stage passes against the test hosts; with the
# provider's address gone, stage 3 fails and the test stops there.
source "$(dirname "$0")/lib.sh"

GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
restore_provider() { ip -n "$GW_NS" addr replace 10.77.1.1/32 dev lo 2>/dev/null || true; }
drop_reject() { ip netns exec "$GW_NS" nft delete table ip velnor_reject 2>/dev/null || true; }
trap 'drop_reject; restore_provider; stop_apps' EXIT

BROWSER_LOG="$WINEPREFIX/browser.log"
rm -f "$BROWSER_LOG"

start_on_test_panel

# Mean green of a stage's mark area: a success mark is bright green.
mark_level() {  # mark_level shot stage
  local tops=(0 381 401 422 443 464 485 506)
  read -r l t _ _ <<<"$(probe rect "$TITLE")"
  convert "$1" -crop "18x18+$((l + 271))+$((t + 43 + ${tops[$2]}))" -format "%[fx:mean.g>0.45?1:0]" info:
}

# Reads both lists back through the controls and keeps them for a person.
read_results() {  # read_results name
  sleep 1
  events=$(probe items lstEvents)
  log=$(probe text memOutput)
  echo "$events" >"$OUT/events-$1.txt"
  echo "$log" >"$OUT/output-$1.txt"
}

press_key Return
wait_until "the test ends" sh -c "'$WINE_RUN' '$PROBE' items lstEvents 2>/dev/null | grep -qE 'Connected OK|Connection to (Internet|Network) FAIL!'"
read_results pass
for banner in "*************** Network Adapter Info ***************" \
              "****************** IP Address(es) ******************" \
              "**************** Network Patameters ****************" \
              "******** Primary Internet Connecting Status ********"; do
  grep -qxF "$banner" <<<"$events" || fail "missing banner: $banner"
done
echo "ok: stage banners"
check "queued items, in order" "$(grep -F ' >> Pinging Item push to queue: ' <<<"$events" | sed 's/.*queue: //' | paste -sd ';')" \
  "10.77.0.1;10.77.1.1;10.77.1.2|10.77.1.3;web1.velnor.test|web2.velnor.test"
for target in 10.77.0.1 10.77.1.1 10.77.1.2 10.77.1.3 web1.velnor.test web2.velnor.test; do
  grep -qE "^Reply from \[$target\] bytes=32 time=[0-9]+ms TTL=[0-9]+$" <<<"$log" || fail "no reply line from $target"
  grep -qF "Pinging [$target] Passed by 100%" <<<"$events" || fail "no passed line for $target"
done
echo "ok: real replies from every test host"
for line in "Adapter Loaded Successfully" "IP Address(es) Loaded Successfully" "Network parameters Loaded Successfully"; do
  grep -qxF "$line" <<<"$log" || fail "missing: $line"
done
# The test network's web server answers the online check: stage 7 passes.
check "the online check" "$(tail -n 1 <<<"$events")" "Connected OK"
grep -qxF "http://10.77.1.1/" "$BROWSER_LOG" || fail "the provider's page was not opened"
echo "ok: provider page opened"
screenshot passed
for stage in $(seq 1 7); do
  check "mark of stage $stage" "$(mark_level "$OUT/passed.png" "$stage")" "1"
done

# rerun_failing what: the test once more, ended by a failure. The log of the
# last run is marked first, so the wait sees this run's end, not the last
# one's "Ping Thread FAILED!": the test's start clears the mark.
MARK="-- the log before this run --"
rerun_failing() {
  probe settext memOutput "$MARK"
  [ "$(probe text memOutput)" = "$MARK" ] || fail "the log could not be marked"
  press_key Return
  wait_until "$1" sh -c "out=\$('$WINE_RUN' '$PROBE' text memOutput 2>/dev/null); ! echo \"\$out\" | grep -qF -- '$MARK' && echo \"\$out\" | grep -q 'Ping Thread FAILED!'"
}

# Stage 3 fails once the provider's server is gone.
ip -n "$GW_NS" addr del 10.77.1.1/32 dev lo
rm -f "$BROWSER_LOG"
rerun_failing "the failed ping stops the test"
read_results fail
grep -qF "Fail ping[10.77.1.1]: Request timed out" <<<"$log" || fail "no failure line for the provider"
grep -qF "Pinging [10.77.1.1] Passed by 0%" <<<"$events" || fail "no 0% line for the provider"
grep -qF "Primary Internet" <<<"$events" && fail "stage 7 ran after a failure"
grep -qF "10.77.1.2" <<<"$log" && fail "stage 4 ran after a failure"
[ -f "$BROWSER_LOG" ] && fail "the page was opened after a failure"
echo "ok: the test stopped at stage 3"
screenshot failed-stage3
check "mark of stage 1" "$(mark_level "$OUT/failed-stage3.png" 1)" "1"
check "mark of stage 2" "$(mark_level "$OUT/failed-stage3.png" 2)" "1"
for stage in 4 5 6 7; do
  check "row $stage stays empty" "$(mark_level "$OUT/failed-stage3.png" "$stage")" "0"
done

# The provider is there again, but its host answers every echo with an ICMP
# error ("host unreachable"): that is no reply, and stage 3 fails.
restore_provider
ip netns exec "$GW_NS" nft add table ip velnor_reject
ip netns exec "$GW_NS" nft add chain ip velnor_reject input '{ type filter hook input priority 0; }'
ip netns exec "$GW_NS" nft add rule ip velnor_reject input ip daddr 10.77.1.1 icmp type echo-request \
  reject with icmp type host-unreachable
rm -f "$BROWSER_LOG"
rerun_failing "the rejected pings stop the test"
read_results rejected
grep -E "^Fail ping\[10.77.1.1\]: " <<<"$log" | head -n 1 | sed 's/^/seen: /'
check "failed attempts on the provider" "$(grep -cE '^Fail ping\[10.77.1.1\]: ' <<<"$log")" "4"
grep -qF "Fail ping[10.77.1.1]: Request timed out" <<<"$log" && fail "the ICMP errors were taken for silence"
grep -qF "Reply from [10.77.1.1]" <<<"$log" && fail "an ICMP error was taken for a reply"
grep -qF "Pinging [10.77.1.1] Passed by 0%" <<<"$events" || fail "no 0% line for the provider"
[ -f "$BROWSER_LOG" ] && fail "the page was opened after a failure"
screenshot rejected-stage3
for stage in 4 5 6 7; do
  check "row $stage has no mark" "$(mark_level "$OUT/rejected-stage3.png" "$stage")" "0"
done
echo "ok: an ICMP error answer fails the stage"
