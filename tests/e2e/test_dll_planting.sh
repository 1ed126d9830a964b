#!/usr/bin/env bash
# A portable exe is often run from a downloads folder. DLLs planted beside it
# must never be loaded: the program imports only libraries Windows protects
# as known DLLs and takes every other one from the system directory.
source "$(dirname "$0")/lib.sh"

# What the exe imports when it loads is checked by tests/shipped/check_imports.sh; this test
# plants the libraries it takes at run time.
PLANTED_NAMES="iphlpapi icmp wsock32 wininet gdiplus comctl32 psapi"
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
# The refresh, the monitor's first fill and the pictures have all run by now.
sleep 3
screenshot planted
stop_apps
loaded=$(cd "$DIR" && ls *.loaded 2>/dev/null || true)
check "planted DLLs loaded by the program" "$loaded" ""
