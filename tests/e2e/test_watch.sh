#!/usr/bin/env bash
# A watch of a few minutes at a 1 s interval while real faults come and go
# on a schedule: every echo dropped at the gateway, then only the provider's
# address and beyond, then only the backbones, then the name server stopped,
# then the provider's answers held back (a responder of our own in the
# gateway answers them late), then a clean stretch. The report and the JSON
# (read by Python's json) list each spell with its kind, its link and its
# start and end within two rounds of the schedule, and nothing else; the CSV
# is read back by Python's csv.
source "$(dirname "$0")/lib.sh"

GW_NS="${VELNOR_GATEWAY_NS:-velnor-gw}"
TESTNET="$ROOT/tools/testnet"
RESPONDER=""

filter_clear() { ip netns exec "$GW_NS" nft delete table ip velnor_watch 2>/dev/null || true; }
filter() {  # filter RULE: echo requests matching it are dropped in the gateway
  filter_clear
  ip netns exec "$GW_NS" nft -f - <<NFT
table ip velnor_watch {
  chain input {
    type filter hook input priority 0;
    $1
  }
}
NFT
}
slow_stop() {
  # The kernel answers again before the responder goes.
  ip netns exec "$GW_NS" sysctl -qw net.ipv4.icmp_echo_ignore_all=0 || true
  if [ -n "$RESPONDER" ]; then
    kill "$RESPONDER" 2>/dev/null || true
    wait "$RESPONDER" 2>/dev/null || true
    RESPONDER=""
  fi
  ip netns exec "$GW_NS" sysctl -qw net.ipv4.icmp_echo_ignore_all=0 || true
}
restore() {
  filter_clear
  slow_stop
  "$TESTNET" dns start >/dev/null 2>&1 || true
}
trap 'restore; stop_apps' EXIT
restore

now() { date +%s.%N; }
declare -A ON OFF

# The long schedule: a few minutes of real faults. It runs on the 64-bit
# half only; the 32-bit half runs the short cases below, which go through
# the same rounds, files and exit codes. (The body is not indented: its
# Python must start at the line's start.)
long_schedule() {
report="$OUT/watch.txt" json="$OUT/watch.json" csv="$OUT/watch.csv"
rm -f "$report" "$json" "$csv"
(cd "$BUILD" && exec timeout 600 "$WINE_RUN" "$EXE" /watch 265s /interval 1 /report "$(windows_path "$report")" \
  /json "$(windows_path "$json")" /csv "$(windows_path "$csv")") >"$OUT/watch.log" 2>&1 &
RUN=$!
wait_main
sleep 20

ON[router]=$(now); filter 'iifname "veth-velnor-gw" icmp type echo-request drop'
sleep 20; filter_clear; OFF[router]=$(now)
sleep 12
ON[provider]=$(now); filter 'ip daddr 10.77.1.0/24 icmp type echo-request drop'
sleep 25; filter_clear; OFF[provider]=$(now)
sleep 12
ON[internet]=$(now); filter 'ip daddr { 10.77.1.2, 10.77.1.3 } icmp type echo-request drop'
sleep 25; filter_clear; OFF[internet]=$(now)
sleep 12
ON[names]=$(now); "$TESTNET" dns stop >/dev/null
sleep 60; "$TESTNET" dns start >/dev/null; OFF[names]=$(now)
sleep 12
# The responder listens before the kernel stops answering, so no echo
# goes unanswered in between (a doubled answer is ignored).
ip netns exec "$GW_NS" python3 "$ROOT/tests/e2e/slow-echo.py" 0.3 10.77.1. &
RESPONDER=$!
sleep 0.5
ip netns exec "$GW_NS" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
ON[slow]=$(now)
sleep 25; slow_stop; OFF[slow]=$(now)
sleep 8
# The timeline as it stands near the end, a moment pointed at.
probe click pnlAuto 420 60 >/dev/null || true
screenshot watch-timeline
echo "faults: router ${ON[router]}-${OFF[router]} provider ${ON[provider]}-${OFF[provider]}" \
  "internet ${ON[internet]}-${OFF[internet]} names ${ON[names]}-${OFF[names]} slow ${ON[slow]}-${OFF[slow]}"

rc=0
wait "$RUN" || rc=$?
check "exit code of a watch with drops" "$rc" "2"
[ -s "$report" ] || fail "no report"
tr -d '\r' <"$report" >"$OUT/watch-lf.txt"
grep -q '^WATCH$' "$OUT/watch-lf.txt" || fail "the report has no WATCH section"
sed -n '/^WATCH$/,/^$/p' "$OUT/watch-lf.txt"
for spell in "drop at router" "drop at provider" "drop at internet" "drop at names" "slow at provider"; do
  grep -q "^  $spell " "$OUT/watch-lf.txt" || fail "the report does not list the $spell"
done

python3 - "$json" "$csv" "${ON[router]}" "${OFF[router]}" "${ON[provider]}" "${OFF[provider]}" \
  "${ON[internet]}" "${OFF[internet]}" "${ON[names]}" "${OFF[names]}" "${ON[slow]}" "${OFF[slow]}" <<'PY'
import csv, json, sys
from datetime import datetime
doc = json.load(open(sys.argv[1], encoding="ascii"))
w = doc["watch"]
t = [float(x) for x in sys.argv[3:]]
# kind, link, fault on, fault off, tolerance in seconds (two rounds, the
# clock's second and the lookup's own pace of one in five rounds)
expected = [("drop", "router", t[0], t[1], 3), ("drop", "provider", t[2], t[3], 3),
            ("drop", "internet", t[4], t[5], 3), ("drop", "names", t[6], t[7], 8),
            ("slow", "provider", t[8], t[9], 3)]
def at(iso):
    return datetime.fromisoformat(iso).timestamp()
errors = []
spells = w["spells"]
for s in spells:
    print("spell: %(kind)s at %(link)s %(start)s .. %(end)s, %(rounds)d rounds, %(lost)d lost, worst %(worst_ms)s" % s)
if len(spells) != len(expected):
    errors.append("%d spells, expected %d" % (len(spells), len(expected)))
for (kind, link, on, off, tol), s in zip(expected, spells):
    if (s["kind"], s["link"]) != (kind, link):
        errors.append("spell %s at %s found as %s at %s" % (kind, link, s["kind"], s["link"]))
        continue
    if abs(at(s["start"]) - on) > tol or abs(at(s["end"]) - off) > tol:
        errors.append("%s at %s: %s..%s against the fault's %.1f..%.1f" % (kind, link, s["start"], s["end"],
                      at(s["start"]) - on, at(s["end"]) - off))
if w["interval_s"] != 1 or not w["finished"] or w["finding"]["place"] != "router":
    errors.append("watch fields: %r" % {k: w[k] for k in ("interval_s", "finished", "finding")})
for link in ("router", "provider", "internet", "names", "web"):
    if link not in w["links"] or w["links"][link]["sent"] == 0:
        errors.append("no samples at " + link)
if not w["minutes"] or "router" not in w["minutes"][0]:
    errors.append("no minute summaries")
rows = list(csv.reader(open(sys.argv[2], encoding="utf-8-sig", newline="")))
if rows[0] != ["time", "link", "target", "ms", "status"]:
    errors.append("CSV heading: %r" % rows[0])
statuses = set()
for r in rows[1:]:
    if len(r) != 5:
        errors.append("CSV row %r" % r); break
    at(r[0])
    statuses.add((r[1], r[4]))
    if (r[3] == "") != (r[4] not in ("ok", "slow")):
        errors.append("CSV row %r: time and status disagree" % r); break
router_rows = sum(1 for r in rows[1:] if r[1] == "router")
if abs(router_rows - w["rounds"]) > 1:
    errors.append("%d router samples in the CSV for %d rounds" % (router_rows, w["rounds"]))
for needed in [("router", "timeout"), ("names", "lookup_failed"), ("provider", "slow"), ("web", "ok")]:
    if needed not in statuses:
        errors.append("CSV has no %s sample %s" % needed)
print("rounds %d, CSV rows %d, statuses %s" % (w["rounds"], len(rows) - 1, sorted(statuses)))
if errors:
    print("\n".join("FAIL: " + e for e in errors))
    sys.exit(1)
PY
}
if [ "$VELNOR_WINE_ARCH" = win64 ]; then
  long_schedule
else
  echo "branch: the long schedule runs on the 64-bit half only"
fi

# Closed early: what was gathered is written, the watch did not finish (3).
json2="$OUT/closed.json" csv2="$OUT/closed.csv"
rm -f "$json2" "$csv2"
(cd "$BUILD" && exec timeout 300 "$WINE_RUN" "$EXE" /watch 5m /interval 1 /report "$(windows_path "$OUT/closed.txt")" \
  /json "$(windows_path "$json2")" /csv "$(windows_path "$csv2")") >"$OUT/closed.log" 2>&1 &
RUN=$!
wait_main
sleep 8
probe close "$TITLE"
rc=0
wait "$RUN" || rc=$?
check "exit code of a watch closed early" "$rc" "3"
python3 - "$json2" "$csv2" <<'PY'
import csv, json, sys
w = json.load(open(sys.argv[1], encoding="ascii"))["watch"]
rows = list(csv.reader(open(sys.argv[2], encoding="utf-8-sig", newline="")))
assert not w["finished"], w
assert w["rounds"] >= 4 and len(rows) - 1 >= 3 * w["rounds"], (w["rounds"], len(rows))
assert "stopped early" in w["finding"]["summary"], w["finding"]
print("closed early: %d rounds kept, %d CSV rows" % (w["rounds"], len(rows) - 1))
PY

# /json beside /test writes the diagnosis as one object.
rc=0
(cd "$BUILD" && timeout 200 "$WINE_RUN" "$EXE" /test /report "$(windows_path "$OUT/test.txt")" /json "$(windows_path "$OUT/test.json")") \
  >"$OUT/test.log" 2>&1 || rc=$?
check "exit code of /test on a working line" "$rc" "0"
python3 - "$OUT/test.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1], encoding="ascii"))
assert d["finding"]["code"] == "all_working", d["finding"]
assert [s["verdict"] for s in d["stages"]] == ["passed"] * 7, d["stages"]
print("/test /json: %s" % d["finding"]["code"])
PY

# A duration out of range: 3 at once, with the usage.
rc=0
(cd "$BUILD" && timeout 60 "$WINE_RUN" "$EXE" /watch 25h) >"$OUT/usage.log" 2>"$OUT/usage.err" || rc=$?
check "exit code of /watch 25h" "$rc" "3"
tr -d '\r' <"$OUT/usage.err" | grep -q '^/watch needs a DURATION' || fail "no reason given: $(cat "$OUT/usage.err")"
echo "PASS"
