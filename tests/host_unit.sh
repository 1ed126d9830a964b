#!/usr/bin/env bash
# Builds one folder's unit tests with the host's own compiler, which has no
# platform headers, from that folder's sources and text/ alone, and runs
# them. GoogleTest's sources are compiled once into OUT and kept.
#   tests/host_unit.sh CXX SOURCE_ROOT OUT AREA
set -euo pipefail
CXX=$1 SRC=$2 OUT=$3 AREA=$4
GTEST=/usr/src/googletest/googletest
mkdir -p "$OUT"
LAUNCH=()
command -v ccache >/dev/null && LAUNCH=(ccache)
FLAGS=(-std=c++17 -O1 -Wall -Wextra -I"$SRC")
if [ ! -f "$OUT/gtest.o" ] || [ "$OUT/gtest.o" -ot "$GTEST/src/gtest-all.cc" ]; then
  "${LAUNCH[@]}" "$CXX" -std=c++17 -O1 -w -I"$GTEST/include" -I"$GTEST" -c "$GTEST/src/gtest-all.cc" -o "$OUT/gtest.o.tmp"
  "${LAUNCH[@]}" "$CXX" -std=c++17 -O1 -w -I"$GTEST/include" -c "$GTEST/src/gtest_main.cc" -o "$OUT/gtest_main.o"
  mv "$OUT/gtest.o.tmp" "$OUT/gtest.o"
fi
objects=()
for source in "$SRC/$AREA"/*.cpp "$SRC"/text/*.cpp "$SRC/tests/unit/$AREA"/*.cpp; do
  object="$OUT/$(echo "${source#"$SRC"/}" | tr / _).o"
  "${LAUNCH[@]}" "$CXX" "${FLAGS[@]}" -I"$GTEST/include" -c "$source" -o "$object"
  objects+=("$object")
done
"$CXX" -o "$OUT/unit_$AREA" "${objects[@]}" "$OUT/gtest.o" "$OUT/gtest_main.o" -pthread
exec "$OUT/unit_$AREA"
