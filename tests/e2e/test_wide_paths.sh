#!/usr/bin/env bash
# Paths in any characters: on an English system whose desktop folder is
# named in Cyrillic (which its ANSI code page cannot hold), Ctrl+S and a
# "/test" without "/report" write the report there, and "/report" to such a
# path works.
source "$(dirname "$0")/lib.sh"

# Wine reads the command line and the file names through the UTF-8 locale;
# the prefix stays English (its ANSI code page 1252 has no Cyrillic).
export LC_ALL=C.UTF-8
USER_DIR="$WINEPREFIX/drive_c/users/$(id -un)"
DESKTOP_NAME="Рабочий стол"
DESKTOP="$USER_DIR/$DESKTOP_NAME"
FOLDERS='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
reg() { "$WINE_RUN" reg "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }
saved=$(reg query "$FOLDERS" /v Desktop | awk '$1 == "Desktop" {sub(/^ *Desktop +REG_[A-Z_]+ +/, ""); print}')
saved_type=$(reg query "$FOLDERS" /v Desktop | awk '$1 == "Desktop" {print $2}')
restore() {
  if [ -n "$saved" ]; then
    reg add "$FOLDERS" /v Desktop /t "${saved_type:-REG_EXPAND_SZ}" /d "$saved" /f >/dev/null
  else
    reg delete "$FOLDERS" /v Desktop /f >/dev/null
  fi
  rm -rf "$DESKTOP" "$OUT/Отчёт"
}
trap 'restore; stop_apps' EXIT

# The value in the registry's own text form (UTF-16), so no code page comes
# between it and the prefix.
mkdir -p "$DESKTOP"
/usr/bin/python3 - "$OUT/desktop.reg" "$(id -un)" "$DESKTOP_NAME" <<'PY'
import sys
path, user, name = sys.argv[1:]
text = ('Windows Registry Editor Version 5.00\r\n\r\n'
        '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders]\r\n'
        '"Desktop"="C:\\\\users\\\\%s\\\\%s"\r\n' % (user, name))
open(path, 'wb').write(b'\xff\xfe' + text.encode('utf-16-le'))
PY
"$WINE_RUN" regedit /S "$(echo "Z:$OUT/desktop.reg" | tr / '\\')" </dev/null >/dev/null 2>&1 || true
reg query "$FOLDERS" /v Desktop

# /test without /report: onto that desktop.
rc=0
(cd "$BUILD" && timeout 180 "$WINE_RUN" "$EXE" /test) >"$OUT/desktop-run.log" 2>&1 || rc=$?
check "/test onto the desktop: exit code" "$rc" "0"
found=$(ls "$DESKTOP"/VelnorAgent-report-*.txt 2>/dev/null | head -n 1)
[ -n "$found" ] || fail "no report on the desktop: $(ls -la "$USER_DIR")"
echo "saved: $found"
grep -q '^Velnor Network Agent - connection report' "$found" || fail "not a report"
rm -f "$DESKTOP"/VelnorAgent-report-*.txt

# /report to a folder named in Cyrillic.
mkdir -p "$OUT/Отчёт"
report="$OUT/Отчёт/отчёт.txt"
rc=0
(cd "$BUILD" && timeout 180 "$WINE_RUN" "$EXE" /test /report "$(echo "Z:$report" | tr / '\\')") >"$OUT/report-run.log" 2>&1 || rc=$?
check "/report to a Cyrillic path: exit code" "$rc" "0"
[ -f "$report" ] || fail "no report at $report: $(ls -la "$OUT/Отчёт")"
grep -q '^Velnor Network Agent - connection report' "$report" || fail "not a report"

# Ctrl+S in the window.
press_key() {
  local xid
  xid=$(xdotool search --name "^$TITLE\$" | head -n 1)
  [ -n "$xid" ] || fail "no X window for the main window"
  xdotool windowfocus --sync "$xid" key "$@"
}
start_app
wait_main
sleep 1
press_key ctrl+s
wait_until "a report on the desktop" sh -c "ls '$DESKTOP'/VelnorAgent-report-*.txt"
probe text lblStatus >/dev/null 2>&1 || true
screenshot saved
check "no message box" "$(probe dialog-text)" ""
