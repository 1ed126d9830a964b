#!/usr/bin/env bash
# The release is built with the public endpoints that CMakeLists.txt gives as
# defaults, and holds none of the test network's hosts.
#   check_endpoints.sh RELEASE_EXE
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
EXE="$1"
HEADER="$(dirname "$EXE")/generated/Endpoints.h"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$EXE" ] || fail "$EXE is not built (tools/test builds it first; or: cmake --preset release32 && cmake --build build/x86 --target VelnorAgent)"

# The header the release was compiled with, against the defaults.
count=0
while read -r name value; do
  grep -qF "= \"$value\";" "$HEADER" || fail "the release was not built with the default of $name ($value): $HEADER"
  count=$((count + 1))
done < <(sed -nE 's/^set\((VELNOR_[A-Z_]+) "([^"]*)" CACHE STRING.*/\1 \2/p' "$ROOT/CMakeLists.txt")
[ "$count" = 6 ] || fail "expected the six endpoint defaults in CMakeLists.txt, found $count"
# And the exe itself: no test-network address or name among its texts.
if tr -c '[:print:]' '\n' <"$EXE" | grep -E '10\.77\.|velnor\.test'; then
  fail "$(basename "$EXE") holds a test-network host"
fi
echo "ok: the release is built with the six public endpoints and holds no test-network host"
