#!/usr/bin/env bash
# A setting that cannot be read at start (a proxy switch stored as text)
# shows the error report, and then the window is there with its tools panel.
source "$(dirname "$0")/lib.sh"

KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
reg() { "$WINE_RUN" reg "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }
# The prefix is this test network's own; its old value comes back at the end.
saved=$(reg query "$KEY" /v ProxyEnable | awk '$1 == "ProxyEnable" {print $2, $3}' || true)
restore() {
  case "$saved" in
    REG_DWORD*) reg add "$KEY" /v ProxyEnable /t REG_DWORD /d "$(printf '%d' "${saved#REG_DWORD }")" /f >/dev/null ;;
    *) reg delete "$KEY" /v ProxyEnable /f >/dev/null || true ;;
  esac
}
trap 'restore; stop_apps' EXIT
reg add "$KEY" /v ProxyEnable /t REG_SZ /d 1 /f >/dev/null

start_app
wait_until "the error report" sh -c "'$WINE_RUN' '$PROBE' dialog-text 2>/dev/null | tr -d '\r' | grep -qxF \"Invalid data type for 'ProxyEnable'\""
screenshot error-report
probe dialog-ok
wait_main
wait_until "the tools panel" sh -c "[ \"\$('$WINE_RUN' '$PROBE' visible pnlUtil 2>/dev/null | tr -d '\r')\" = 1 ]"
check "test panel hidden" "$(probe visible pnlAuto)" "0"
screenshot after-report
check "the program answers" "$(probe count "$TITLE")" "1"
