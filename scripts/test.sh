#!/usr/bin/env bash
# The one test command: installs what is missing (Debian 12, as root), builds every preset,
# runs each fuzz target briefly, and runs every suite (native with sanitizers, release checks,
# the page in headless Chromium, and the 64-bit Windows build under wine64). Ends with CTest's
# summary; exits non-zero on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

"$root/scripts/deps.sh"

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

for preset in linux-debug linux-release windows-x86 windows-x64-test; do
  build_preset "$preset"
done

"$root/scripts/check-windows-binaries.sh" "$root/build/windows-x86"

# A short smoke of every fuzz target on its committed corpus; long campaigns are run by hand.
"$root/scripts/fuzz.sh" 10

if [ -f tests/page/package.json ]; then
  echo "== installing the page tests' packages"
  (cd tests/page && npm ci --no-audit --no-fund --loglevel=error)
fi

# One Wine prefix per build folder, made once (its first start takes several seconds).
prefix="$root/build/windows-x64-test/wineprefix"
if [ ! -f "$prefix/system.reg" ]; then
  echo "== creating the Wine prefix"
  "$root/tests/wine/wine-run.sh" "$prefix" wineboot -i >/dev/null 2>&1 || true
fi

# One CTest run over every suite, so the run ends with a single summary line.
cat >"$root/build/CTestTestfile.cmake" <<CTEST
subdirs("linux-debug")
subdirs("linux-release")
subdirs("windows-x64-test")
CTEST

echo "== running the tests"
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$root/build" --output-on-failure -j2
