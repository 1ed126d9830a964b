#!/usr/bin/env bash
# What an exe imports when Windows loads it: only libraries Windows protects
# as known DLLs (a planted DLL beside the exe is never taken for them), and
# from those nothing that Windows Vista SP2 lacks (missing-on-vista.txt),
# without which the loader refuses to start the program.
#   check_imports.sh EXE... [--if-built EXE...]
# An exe after --if-built is checked when it is there (the release, which
# tools/test builds first) and named as not built otherwise.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
LIST="$HERE/missing-on-vista.txt"
OBJDUMP=x86_64-w64-mingw32-objdump  # reads 32-bit and 64-bit images alike
KNOWN="advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll"

# "library function" per load-time import, library in lower case.
imports() {
  "$OBJDUMP" -p "$1" | awk '
    /^[ \t]*DLL Name:/ { dll = tolower($3); next }
    /^[ \t]*$/ { next }
    /^[ \t]*vma:/ { next }
    /^The / { dll = "" }
    dll != "" && NF <= 4 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }'
}

failed=0
check() {
  local exe="$1" name
  name="$(basename "$(dirname "$exe")")/$(basename "$exe")"
  local found
  found="$(imports "$exe")"
  [ -n "$found" ] || { echo "FAIL: $name: no import table read" >&2; failed=1; return; }
  local bad=0 dll fn line
  while read -r dll fn; do
    case " $KNOWN " in
      *" $dll "*) ;;
      *) echo "FAIL: $name imports $dll at load time ($fn): not a known DLL" >&2; bad=1 ;;
    esac
    line="$(awk -F'|' -v fn="$fn" '!/^#/ && NF >= 4 { f = $2; gsub(/ /, "", f); if (f == fn) { print; exit } }' "$LIST")"
    if [ -n "$line" ]; then
      echo "FAIL: $name imports $fn from $dll at load time; first client:$(cut -d'|' -f3 <<<"$line" | sed 's/ *$//')" >&2
      bad=1
    fi
  done <<<"$found"
  if [ "$bad" = 1 ]; then
    failed=1
  else
    echo "ok: $name: $(wc -l <<<"$found") imports from $(cut -d' ' -f1 <<<"$found" | sort -u | paste -sd' '), none missing on Vista"
  fi
}

optional=0
for arg in "$@"; do
  if [ "$arg" = "--if-built" ]; then optional=1; continue; fi
  if [ -f "$arg" ]; then
    check "$arg"
  elif [ "$optional" = 1 ]; then
    echo "note: $arg is not built (tools/test builds it first)"
  else
    echo "FAIL: $arg does not exist" >&2
    failed=1
  fi
done
exit "$failed"
