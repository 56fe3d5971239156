#!/usr/bin/env bash
# Checks the shipped 32-bit Windows programs: each is a PE32 (i386) file that imports only
# system DLLs. Usage: check-windows-binaries.sh BUILD_DIR
set -euo pipefail
build=$1
status=0
allowed='^(kernel32|user32|gdi32|shell32|shlwapi|ole32|oleaut32|advapi32|winhttp|ws2_32|dwmapi|msvcrt|comctl32|version|bcrypt|api-ms-win-[a-z0-9-]+)\.dll$'

for exe in $(find "$build" -maxdepth 3 -name '*.exe' -not -path '*/CMakeFiles/*' | sort); do
  if ! i686-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386'; then
    echo "$exe: not a 32-bit Windows program" >&2
    status=1
  fi
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      echo "$exe: unexpected import $dll" >&2
      status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
exit $status
