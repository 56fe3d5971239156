#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
# Idempotent and quiet. The 32-bit Windows tests need Debian's i386 wine32 beside wine64, so
# the full set adds the i386 architecture to dpkg first.
#   scripts/deps.sh           everything (scripts/test.sh)
#   scripts/deps.sh --demo    only the linux-release build and nginx (scripts/demo.sh)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  zlib1g-dev libdeflate-dev libcurl4-openssl-dev libsodium-dev libssl-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine64 xvfb xauth valgrind icoutils
  nginx-light curl openssl
  chromium nodejs npm
)

if [ "${1:-}" = "--demo" ]; then
  packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libbenchmark-dev
    zlib1g-dev libdeflate-dev libcurl4-openssl-dev libsodium-dev libssl-dev valgrind
    nginx-light
  )
fi

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "$1 and not root: run scripts/deps.sh as root" >&2
    exit 1
  fi
}

if [ "${1:-}" != "--demo" ]; then
  packages+=(wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_root "the i386 architecture is missing"
    echo "== adding the i386 architecture (for wine32)"
    dpkg --add-architecture i386
  fi
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
# A Node.js that did not come from Debian's package (with its own npm) serves as well.
if command -v node >/dev/null && command -v npm >/dev/null; then
  filtered=()
  for package in "${missing[@]}"; do
    case "$package" in nodejs|npm) ;; *) filtered+=("$package") ;; esac
  done
  missing=("${filtered[@]+"${filtered[@]}"}")
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  need_root "missing packages"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # wine32:i386 may need newer amd64 builds of libraries both architectures share (their
  # versions must match): apt upgrades those along with it.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
