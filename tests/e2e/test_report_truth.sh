#!/usr/bin/env bash
# What the report promises, against what the machine itself says: "/test"
# without "/report" writes onto the desktop; "/test /report FILE" that cannot
# write FILE ends with 3; the report's time, program version, Windows version,
# proxy, VPN and firewall lines are the prefix's and the system's own truth
# (its registry, its token, the file system, the network), not the window's.
source "$(dirname "$0")/lib.sh"

DESKTOP="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
APP_KEY='HKCU\Software\Wine\AppDefaults\VelnorAgent.exe'
PROXY="10.77.0.1:3128"
reg() { "$WINE_RUN" reg "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }
reg_value() { reg query "$1" /v "$2" | awk -v v="$2" '$1 == v {print $2, $3}'; }
# The prefix is this test network's own; its old values come back at the end.
saved_enable=$(reg_value "$KEY" ProxyEnable)
saved_server=$(reg_value "$KEY" ProxyServer)
restore() {
  case "$saved_enable" in
    REG_DWORD*) reg add "$KEY" /v ProxyEnable /t REG_DWORD /d "$(printf '%d' "${saved_enable#REG_DWORD }")" /f >/dev/null ;;
    *) reg delete "$KEY" /v ProxyEnable /f >/dev/null ;;
  esac
  case "$saved_server" in
    REG_SZ*) reg add "$KEY" /v ProxyServer /t REG_SZ /d "${saved_server#REG_SZ }" /f >/dev/null ;;
    *) reg delete "$KEY" /v ProxyServer /f >/dev/null ;;
  esac
  reg delete "$APP_KEY" /f >/dev/null
  rm -rf "$DESKTOP" && mkdir -p "$DESKTOP"
}
trap 'restore; stop_apps' EXIT

# A report that cannot be written: its folder does not exist.
rc=0
(cd "$BUILD" && timeout 180 "$WINE_RUN" "$EXE" /test /report "$(windows_path "$OUT/no-such-folder/report.txt")") \
  >"$OUT/unwritable.log" 2>&1 || rc=$?
check "/test /report into a missing folder: exit code" "$rc" "3"
[ ! -e "$OUT/no-such-folder" ] || fail "a folder was made for the report"

# No /report: the desktop. A proxy is switched on and the program is told
# it runs on Windows 7, in the prefix's own registry.
rm -rf "$DESKTOP" && mkdir -p "$DESKTOP"
reg add "$KEY" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null
reg add "$KEY" /v ProxyServer /t REG_SZ /d "$PROXY" /f >/dev/null
reg add "$APP_KEY" /v Version /t REG_SZ /d win7 /f >/dev/null
check "the prefix's proxy switch" "$(reg_value "$KEY" ProxyEnable)" "REG_DWORD 0x1"
before=$(date +%s)
rc=0
(cd "$BUILD" && timeout 180 "$WINE_RUN" "$EXE" /test) >"$OUT/desktop.log" 2>&1 || rc=$?
after=$(date +%s)
case "$rc" in 0 | 1 | 2) echo "ok: /test ended with a verdict ($rc)" ;; *) fail "/test without /report: exit code $rc" ;; esac
mapfile -t saved < <(ls "$DESKTOP")
check "files on the desktop" "${#saved[@]}" "1"
[[ "${saved[0]}" =~ ^VelnorAgent-report-([0-9]{8})-([0-9]{6})[.]txt$ ]] || fail "the report's name: ${saved[0]}"
tr -d '\r' <"$DESKTOP/${saved[0]}" >"$OUT/desktop.txt"
field() { sed -n "s/^$1 *: //p" "$OUT/desktop.txt"; }

# Its time: when it was written by this machine's clock (the name and the
# "Made" line, in the same local time Wine takes from the system).
made=$(field Made)
made_s=$(date -d "$made" +%s) || fail "the Made line is no time: [$made]"
[ "$made_s" -ge $((before - 1)) ] && [ "$made_s" -le $((after + 1)) ] ||
  fail "made at [$made], but the run was from $(date -d "@$before" '+%F %T') to $(date -d "@$after" '+%F %T')"
check "the file name's time" "${BASH_REMATCH[1]}-${BASH_REMATCH[2]}" "$(date -d "$made" +%Y%m%d-%H%M%S)"
# The program's version: the exe's own version resource.
version=$(probe file-version "$(windows_path "$EXE")")
check "the program version" "$(field 'Program version')" "${version%.0}"
# Windows: the version this prefix gives the exe (Windows 7 SP1, an NT 6 system).
check "the Windows version" "$(field 'Windows version code')" "8 (reports 6.1.7601)"
check "the proxy" "$(field Proxy)" "enabled, $PROXY"
# No VPN: the client's namespace has no point-to-point or tunnel link.
links=$(ip -n "${VELNOR_CLIENT_NS:-velnor-client}" -o link show | awk -F': ' '{print $2}' | cut -d@ -f1 | paste -sd ' ')
if ip -n "${VELNOR_CLIENT_NS:-velnor-client}" -o link show | grep -qiE 'link/(ppp|none|ipip|gre|sit)'; then
  fail "the test network has a tunnel link: $links"
fi
check "the VPN line (links: $links)" "$(field 'VPN connection')" "none seen"
# The firewall switch: allowed exactly when the prefix's token has the
# Administrators group, as the platform itself checks it.
case "$(probe is-admin)" in
  1) want="allowed" ;;
  0) want="not allowed (administrator rights needed)" ;;
  *) fail "the token could not be checked" ;;
esac
check "the firewall line" "$(field 'Firewall switch')" "$want"
