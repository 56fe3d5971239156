#!/usr/bin/env bash
# The one test command: installs what is missing (Debian 12, as root), builds every preset,
# runs each fuzz target briefly, and runs every suite (native with sanitizers, release checks,
# the page in headless Chromium, and the Windows builds under Wine: the shipped 32-bit one and
# the 64-bit one). Ends with CTest's summary; exits non-zero on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

"$root/scripts/deps.sh"

echo "== checking that includes point down the layers"
"$root/scripts/check-layers.sh"

# The 32-bit suite runs the code players get: a machine that cannot run it fails here rather
# than passing without it.
if ! failure=$(/usr/lib/wine/wine --version 2>&1 >/dev/null); then
  echo "This machine cannot run 32-bit programs, so the 32-bit Windows tests cannot run." >&2
  echo "  /usr/lib/wine/wine --version: ${failure:-failed}" >&2
  echo "They need Debian's i386 wine32 (scripts/deps.sh installs it) and a kernel that runs" >&2
  echo "32-bit code (IA32 emulation)." >&2
  exit 1
fi

logs="$root/build/logs"
mkdir -p "$logs"

build_preset() {
  local preset=$1
  echo "== building $preset"
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$logs/$preset.log" 2>&1; then
    tail -n 60 "$logs/$preset.log"
    echo "build of $preset failed (full log: $logs/$preset.log)" >&2
    exit 1
  fi
}

# windows-x86-test builds the shipped programs with the shipped settings, beside its tests, so
# the shipped binaries are checked there; windows-x86 (the same without tests) is left to staff.
for preset in linux-debug linux-release windows-x86-test windows-x64-test; do
  build_preset "$preset"
done

"$root/scripts/check-windows-binaries.sh" "$root/build/windows-x86-test"

# A short smoke of every fuzz target on its committed corpus; long campaigns are run by hand.
"$root/scripts/fuzz.sh" 10

if [ -f tests/page/package.json ]; then
  echo "== installing the page tests' packages"
  (cd tests/page && npm ci --no-audit --no-fund --loglevel=error)
fi

# One Wine prefix per bitness, made once, both at the same time (a first start takes seconds).
for preset in windows-x86-test windows-x64-test; do
  prefix="$root/build/$preset/wineprefix"
  if [ ! -f "$prefix/system.reg" ]; then
    echo "== creating the Wine prefix of $preset"
    "$root/tests/wine/wine-run.sh" "$prefix" wineboot -i >/dev/null 2>&1 &
  fi
done
wait

# One CTest run over every suite, so the run ends with a single summary line.
cat >"$root/build/CTestTestfile.cmake" <<CTEST
subdirs("linux-debug")
subdirs("linux-release")
subdirs("windows-x86-test")
subdirs("windows-x64-test")
CTEST

echo "== running the tests"
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$root/build" --output-on-failure -j2
