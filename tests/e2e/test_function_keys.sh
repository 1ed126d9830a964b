#!/usr/bin/env bash
# Real keys on the tools panel: an F-key with Ctrl or Alt runs no tool, the
# key alone runs it, and Alt+F4 closes the window.
source "$(dirname "$0")/lib.sh"

tools_text() { probe text memToolsOutput; }

start_app
wait_main
sleep 2
for keys in ctrl+F4 ctrl+F5 alt+F6 ctrl+F12 alt+F12; do
  press_key "$keys"
  sleep 2
  check "$keys runs no tool" "$(tools_text)" ""
  check "$keys leaves the window" "$(probe count "$TITLE")" "1"
done
press_key F5
wait_until "F5 alone runs its tool" sh -c "'$WINE_RUN' '$PROBE' text memToolsOutput 2>/dev/null | grep -q 'Process Completed.'"
grep -qF "'ipconfig /flushdns' : Start executing" <<<"$(tools_text)" || fail "F5 ran something else"
screenshot after-f5

press_key alt+F4
wait_until "Alt+F4 closes the window" sh -c "[ \"\$('$WINE_RUN' '$PROBE' count '$TITLE' 2>/dev/null | tr -d '\r')\" = 0 ]"
for pid in "${APP_PIDS[@]}"; do
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end after Alt+F4"
done
echo "ok: the program ended"
