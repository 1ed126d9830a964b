#!/usr/bin/env bash
# A portable exe is often run from a downloads folder. DLLs planted beside it
# must never be loaded: the program imports only libraries Windows protects
# as known DLLs and takes every other one from the system directory.
source "$(dirname "$0")/lib.sh"

# What the exe imports when it loads is checked by tests/shipped/check_imports.sh; this test
# plants every library it loads by name at run time (the list in
# platform/Calls.h, but for the known DLLs, which Windows never takes from
# the program's folder), and icmp, which the echo functions come from on
# older systems.
KNOWN="kernel32|user32|advapi32|shell32|ntdll|gdi32|msvcrt|ole32"
LOADED_BY_NAME="$(sed -nE 's/^ *L\([a-z0-9_]+, "([^"]+)[.][dD][lL][lL]".*/\1/p' "$ROOT/platform/Calls.h" |
  tr '[:upper:]' '[:lower:]' | grep -vxE "$KNOWN" | paste -sd ' ')"
for n in iphlpapi wininet psapi; do
  grep -qw "$n" <<<"$LOADED_BY_NAME" || fail "the list of libraries read from platform/Calls.h lacks $n: [$LOADED_BY_NAME]"
done
PLANTED_NAMES="$LOADED_BY_NAME icmp"
echo "planted: $PLANTED_NAMES"
DIR="$OUT/downloads"
rm -rf "$DIR"
mkdir -p "$DIR"
cp "$EXE" "$PROBE" "$DIR/"
for n in $PLANTED_NAMES; do cp "$BUILD/tests/planted.dll" "$DIR/$n.dll"; done
# Makes Wine's loader look in the program's folder first, as Windows does.
export WINEDLLOVERRIDES="$(echo $PLANTED_NAMES | tr ' ' ',')=n,b"

# The planted DLLs do load when a program asks the ordinary way, so their
# absence below means something.
for n in $PLANTED_NAMES; do
  (cd "$DIR" && "$WINE_RUN" "$DIR/velnor_probe.exe" loadlib "$n.dll" >/dev/null 2>&1) || true
  [ -f "$DIR/$n.dll.loaded" ] || fail "control: an ordinary LoadLibrary did not pick up the planted $n.dll"
  rm -f "$DIR/$n.dll.loaded"
done
echo "ok: ordinary loads take the planted DLLs"

start_app "$DIR/VelnorAgent.exe"
wait_main
# The refresh and the pictures run at start; the monitor's first fill reads
# the connection tables and the process list (the process-status library).
sleep 1
probe click pnlMain 720 130  # btnNetUtil: Ctrl+Shift+F12 belongs to the tools panel
sleep 1
press_key ctrl+shift+F12
MONITOR="TCP/IP/ARP Monitor:  Velnor v1.0.1 - 19 February 2012"
probe wait "$MONITOR" 30000 || fail "the monitor did not open"
wait_until "the monitor's first fill" sh -c "'$WINE_RUN' '$PROBE' text TCPMemo 2>/dev/null | grep -q ."
sleep 2
screenshot planted

# Every library it loads by name was loaded, each from the system
# directory: the program did reach it, and not the copy beside it.
# The process list (psapi) names the programs of the connection pages only
# where the system lacks the owner-module tables (Windows XP and 2003).
probe modules "$TITLE" | tr '[:upper:]' '[:lower:]' >"$OUT/modules.txt"
owner_tables=$(probe has-export iphlpapi.dll GetExtendedTcpTable)
for n in $LOADED_BY_NAME; do
  path=$(grep -E "\\\\$n[.]dll$" "$OUT/modules.txt" | head -n 1 || true)
  if [ -z "$path" ] && [ "$n" = psapi ] && [ "$owner_tables" = 1 ]; then
    echo "branch: psapi.dll is not used here: the system has the owner-module tables (its planted copy stayed unloaded)"
    continue
  fi
  [ -n "$path" ] || fail "the program never loaded $n.dll (modules: $(paste -sd ' ' "$OUT/modules.txt"))"
  case "$path" in
    *\\system32\\* | *\\syswow64\\*) echo "ok: $n.dll from $path" ;;
    *) fail "$n.dll was loaded from $path" ;;
  esac
done
stop_apps
loaded=$(cd "$DIR" && ls *.loaded 2>/dev/null || true)
check "planted DLLs loaded by the program" "$loaded" ""
