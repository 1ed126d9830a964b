#!/usr/bin/env bash
# The real program in the test network: its window, its titles, the single
# copy rule and closing by the header's close button.
source "$(dirname "$0")/lib.sh"

start_app
wait_main
sleep 1
check "window caption" "$(probe count "$TITLE")" "1"
check "taskbar title" "$(probe toplevel-text VelnorApplication)" "$(printf 'Velnor\xa9 Network Agent')"  # the title is in code page 1252
read -r l t r b <<<"$(probe rect "$TITLE")"
check "window size" "$((r - l))x$((b - t))" "800x600"
check "tools panel shown" "$(probe visible pnlUtil)" "1"
check "test panel hidden" "$(probe visible pnlAuto)" "0"
screenshot started

# A second copy shows its one message and makes no window.
"$WINE_RUN" "$EXE" >"$OUT/second.log" 2>&1 &
SECOND=$!
wait_until "the second copy's message" sh -c "'$WINE_RUN' '$PROBE' dialog-text 2>/dev/null | tr -d '\r' | grep -qx 'Can\`t run multiple instances of VelnorAgent!'"
check "windows of the program" "$(probe count "$TITLE")" "1"
screenshot second-copy
probe dialog-ok
wait "$SECOND" || true
check "first copy still there" "$(probe count "$TITLE")" "1"
check "first copy answers" "$(probe visible pnlUtil)" "1"

# btnExit sits at 770,15 (17 x 16) on the header panel.
probe click pnlHeader 778 22
probe gone "$TITLE" 20000 || fail "btnExit did not close the program"
echo "ok: btnExit closes the program"
