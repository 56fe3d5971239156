#!/usr/bin/env bash
# Checks that includes between the code's folders point one way, down the layers, so that no
# folder depends on one above it (docs/CONVENTIONS.md draws the layers). A folder may include
# its own headers and those of the folders listed for it; tests, fuzz targets and benchmarks
# may include anything. A new folder must be given its list here before it passes.
# Usage: scripts/check-layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [src/core]="core"
  [src/crypto]="crypto"
  [src/net]="core net"
  [src/update]="core crypto net update"
  [src/publish]="core crypto update publish"
  [src/game]="core game"
  [src/ui]="core net update game ui"
  [src/app]="core crypto net update game ui app"
  [tools/tarnbuilder]="core crypto net update publish ui tarnbuilder"
)

status=0
for folder in src/*/ tools/*/; do
  folder=${folder%/}
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "$folder: not in scripts/check-layers.sh: give it the folders it may include" >&2
    status=1
    continue
  fi
  while IFS=: read -r file line target; do
    case " ${allowed[$folder]} " in *" $target "*) continue ;; esac
    echo "$file:$line: $folder may not include $target/ (it may include: ${allowed[$folder]})" >&2
    status=1
  done < <(grep -rnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z0-9_]+/' "$folder" |
    sed -E 's/:[^:]*"([a-z0-9_]+)\/$/:\1/')
done
exit $status
