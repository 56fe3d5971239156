#!/usr/bin/env bash
# Checks the shipped 32-bit Windows programs (TarnLauncher.exe, tarn-update.exe and
# tarnbuilder.exe; a test build's test programs are not looked at): each is there, is a PE32
# (i386) file and imports only system DLLs; TarnLauncher.exe also carries exactly the resources
# the program and the shell read (icon group 1 with its seven PNG images, the page's files, the
# UI pack, version information, the application manifest, and the default configuration only
# when built in).
# Usage: check-windows-binaries.sh BUILD_DIR
set -euo pipefail
build=$1
status=0
allowed='^(kernel32|user32|gdi32|shell32|shlwapi|ole32|oleaut32|advapi32|winhttp|ws2_32|dwmapi|msvcrt|comctl32|version|bcrypt|api-ms-win-[a-z0-9-]+)\.dll$'

fail() {
  echo "$1" >&2
  status=1
}

for exe in "$build/src/app/TarnLauncher.exe" "$build/src/app/tarn-update.exe" \
  "$build/tools/tarnbuilder/tarnbuilder.exe"; do
  if [ ! -f "$exe" ]; then
    fail "$exe: missing"
    continue
  fi
  if ! i686-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386'; then
    fail "$exe: not a 32-bit Windows program"
  fi
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      fail "$exe: unexpected import $dll"
    fi
  done < <(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done

check_launcher_resources() {
  local exe=$1
  # One "type name" pair per resource, e.g. "10 201" or "3 7".
  local listing
  listing=$({ wrestool -l "$exe" || true; } |
              sed -n 's/^--type=\([0-9]*\) --name=\([0-9]*\) .*/\1 \2/p' | sort -u)
  local expected=("14 1" "16 1" "24 1" "10 101" "10 102" "10 103" "10 104" "10 201")
  for resource in "${expected[@]}"; do
    grep -qx "$resource" <<<"$listing" || fail "$exe: missing resource (type name) $resource"
  done
  while read -r type name; do
    [ -n "$type" ] || continue
    case "$type $name" in
      "3 "[1-7] | "14 1" | "16 1" | "24 1" | "10 101" | "10 102" | "10 103" | "10 104" | \
        "10 200" | "10 201") ;;
      *) fail "$exe: unexpected resource (type name) $type $name" ;;
    esac
  done <<<"$listing"

  # The icon group lists seven images, 16 to 256 pixels square, each stored as PNG.
  local scratch group
  scratch=$(mktemp -d)
  wrestool -x --type=14 --name=1 -o "$scratch/group.ico" "$exe" 2>/dev/null || true
  group=$(icotool -l "$scratch/group.ico" 2>/dev/null |
            sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\).*/\1x\2/p' | tr '\n' ' ')
  [ "$group" = "16x16 24x24 32x32 48x48 64x64 128x128 256x256 " ] ||
    fail "$exe: icon group 1 holds '$group'"
  for image in 1 2 3 4 5 6 7; do
    rm -f "$scratch/image"
    wrestool -x --raw --type=3 --name=$image -o "$scratch/image" "$exe" 2>/dev/null || true
    [ "$(od -An -tx1 -N8 "$scratch/image" 2>/dev/null | tr -d ' \n')" = 89504e470d0a1a0a ] ||
      fail "$exe: icon image $image is not a PNG image"
  done
  rm -rf "$scratch"

  local manifest
  manifest=$(wrestool -x --raw --type=24 --name=1 "$exe" 2>/dev/null || true)
  for setting in 'level="asInvoker"' 'PerMonitorV2' '<longPathAware[^>]*>true<' \
    'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'; do
    grep -q "$setting" <<<"$manifest" || fail "$exe: manifest lacks $setting"
  done
}

if [ -f "$build/src/app/TarnLauncher.exe" ]; then
  check_launcher_resources "$build/src/app/TarnLauncher.exe"
fi
exit $status
