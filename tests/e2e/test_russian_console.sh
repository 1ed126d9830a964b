#!/usr/bin/env bash
# Console text in the system's language: under a Russian locale (ANSI code
# page 1251, the console's 866) with the client's adapter named in Cyrillic,
# F4's "ipconfig /all" reaches the panel, the saved report and the clipboard
# in the program's own code page, every Russian word intact.
ROOT_DIR="$(cd "$(dirname "$0")/../.." && pwd)"
# A prefix of its own: the locale a Wine run starts under stays out of the
# prefix the other tests share.
export VELNOR_WINE_PREFIX="${VELNOR_WINE_PREFIX:-$ROOT_DIR/build/wine}-ru"
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
source "$(dirname "$0")/lib.sh"

locale -a 2>/dev/null | grep -qix 'ru_RU.utf8' || fail "the ru_RU.UTF-8 locale is missing (tools/setup makes it)"

CLIENT_NS="${VELNOR_CLIENT_NS:-velnor-client}"
ADAPTER="Сеть"  # a Linux interface name: at most 15 bytes, here in UTF-8
[ "$(printf '%s' "$ADAPTER" | wc -c)" -le 15 ] || fail "an interface name holds at most 15 bytes"
rename_link() {  # rename_link from to
  ip -n "$CLIENT_NS" link set "$1" down &&
    ip -n "$CLIENT_NS" link set "$1" name "$2" &&
    ip -n "$CLIENT_NS" link set "$2" up &&
    ip -n "$CLIENT_NS" route replace default via 10.77.0.1
}
restore_link() {
  ip -n "$CLIENT_NS" link show "$ADAPTER" >/dev/null 2>&1 && rename_link "$ADAPTER" veth-velnor
  restore_testnet
}
stop_prefix() { /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap 'stop_apps; stop_prefix; restore_link' EXIT

DESKTOP_ROOT="$WINEPREFIX/drive_c/users"
rename_link veth-velnor "$ADAPTER" || fail "could not rename the client's adapter"
ip -n "$CLIENT_NS" link show "$ADAPTER" >/dev/null || fail "no adapter named $ADAPTER"

from_ansi() { iconv -f CP1251 -t UTF-8; }

start_app
wait_main 120000
sleep 1
press_key F4
wait_until "ipconfig /all has run" sh -c "'$WINE_RUN' '$PROBE' text memToolsOutput 2>/dev/null | grep -q 'Process Completed.'"
sleep 1
probe text memToolsOutput >"$OUT/panel.ansi.txt"
from_ansi <"$OUT/panel.ansi.txt" >"$OUT/panel.txt" || fail "the panel's text is not in code page 1251"
panel=$(cat "$OUT/panel.txt")
grep -q "'ipconfig /all' : Start executing" <<<"$panel" || fail "no ipconfig run in the panel"
grep -qF "$ADAPTER" <<<"$panel" || fail "the Cyrillic adapter name is not in the panel"
echo "ok: the adapter's name in the panel"
# Wine's own ipconfig speaks Russian under this locale: its labels must
# arrive as words, not as the console's bytes read in the wrong code page.
grep -qF "Имя узла" <<<"$panel" || fail "the Russian host name label is not in the panel"
echo "ok: ipconfig's Russian words in the panel"
# "Имя" in code page 866, shown as if it were 1251.
if LC_ALL=C grep -q $'\x88\xac\xef' "$OUT/panel.ansi.txt"; then fail "console bytes reached the panel unconverted"; fi
echo "ok: no console code page bytes in the panel"
screenshot panel

# A report left by an earlier run in this prefix is no answer to this key.
find "$DESKTOP_ROOT" -name 'VelnorAgent-report-*.txt' -delete
press_key ctrl+s
wait_until "a report on the desktop" sh -c "find '$DESKTOP_ROOT' -name 'VelnorAgent-report-*.txt' | grep -q ."
saved=$(find "$DESKTOP_ROOT" -name 'VelnorAgent-report-*.txt' | head -n 1)
echo "saved: $saved"
tr -d '\r' <"$saved" | from_ansi >"$OUT/saved.txt" || fail "the report is not in code page 1251"
# The last section: the command, then the panel's lines.
sed -n '/^LAST TOOLS COMMAND$/,$p' "$OUT/saved.txt" | tail -n +3 >"$OUT/saved-tools.txt"
check "the saved tools output is the panel's" "$(cat "$OUT/saved-tools.txt")" "$(tr -d '\r' <"$OUT/panel.txt")"
grep -qF "$ADAPTER" "$OUT/saved.txt" || fail "the adapter's name is not in the report"
grep -qF "Имя узла" "$OUT/saved.txt" || fail "the Russian label is not in the report"
echo "ok: the report holds the Russian text"

press_key ctrl+c
sleep 1
probe clipboard | from_ansi >"$OUT/copied.txt" || fail "the clipboard is not in code page 1251"
grep -qF "$ADAPTER" "$OUT/copied.txt" || fail "the adapter's name is not in the copied report"
grep -qF "Имя узла" "$OUT/copied.txt" || fail "the Russian label is not in the copied report"
echo "ok: the clipboard holds the Russian text"
