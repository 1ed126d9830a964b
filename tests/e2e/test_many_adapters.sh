#!/usr/bin/env bash
# More than four connected adapters, the router behind one listed after the
# first four (virtual switches and capture adapters beside the real card):
# the adapter with the gateway is the current one, stage 2 pings its router
# and the whole test passes.
source "$(dirname "$0")/lib.sh"

CLIENT_NS="${VELNOR_CLIENT_NS:-velnor-client}"
GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
EXTRA=5  # links added after the test network's own one: it stays first
restore() {
  local i
  for i in $(seq "$EXTRA"); do ip -n "$CLIENT_NS" link del "vx$i" 2>/dev/null || true; done
  ip -n "$CLIENT_NS" route replace default via 10.77.0.1
}
trap 'restore; stop_apps' EXIT

# Each pair: one end in the client, its peer in the gateway namespace, a
# subnet of its own. The last one carries the default route.
for i in $(seq "$EXTRA"); do
  ip link add "vx$i" netns "$CLIENT_NS" type veth peer name "vx$i-gw" netns "$GW_NS"
  ip -n "$CLIENT_NS" addr add "10.78.$i.2/24" dev "vx$i"
  ip -n "$GW_NS" addr add "10.78.$i.1/24" dev "vx$i-gw"
  ip -n "$CLIENT_NS" link set "vx$i" up
  ip -n "$GW_NS" link set "vx$i-gw" up
done
ip -n "$CLIENT_NS" route replace default via "10.78.$EXTRA.1" dev "vx$EXTRA"
ip -n "$CLIENT_NS" -o link show | awk -F': ' '{print $2}' | tr '\n' ' ' | sed 's/^/links: /'
echo

report="$OUT/report.txt"
rm -f "$report"
rc=0
(cd "$BUILD" && timeout 180 "$WINE_RUN" "$EXE" /test /report "$(windows_path "$report")") >"$OUT/run.log" 2>&1 || rc=$?
[ -f "$report" ] || fail "no report"
tr -d '\r' <"$report" >"$OUT/report.lf.txt"
section() { awk -v t="$1" '$0 == t {on = 1; next} on && $0 == "" {exit} on' "$OUT/report.lf.txt"; }
adapters=$(section "ADAPTERS (type | hardware address | IP address | DNS server | gateway | Mbps | description)")
echo "$adapters"
[ "$(echo "$adapters" | grep -c '|')" -ge 6 ] || fail "fewer than six adapters recorded"
# The routed adapter is listed after the first four.
place=$(echo "$adapters" | grep -n "|10.78.$EXTRA.2 " | cut -d: -f1)
[ -n "$place" ] && [ "$place" -gt 4 ] || fail "the routed adapter is not among the later ones (place ${place:-none})"
grep -qx "Default gateway         : 10.78.$EXTRA.1" "$OUT/report.lf.txt" || fail "the current adapter is not the routed one"
grep -q "Pinging Item push to queue: 10.78.$EXTRA.1\$" "$OUT/report.lf.txt" || fail "stage 2 does not ping the router"
stages=$(grep -E '^[1-7] ' "$OUT/report.lf.txt" | sed 's/ *: /:/' | cut -d: -f2 | paste -sd ',')
check "the stages" "$stages" "passed,passed,passed,passed,passed,passed,passed"
check "exit code" "$rc" "0"
