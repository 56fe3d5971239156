#!/bin/sh
# Makes an update for the players: publishes the client folder into the output folder and
# checks the result the way a launcher will. Edit the three lines below, then run this file.
# The first run, when the key file does not exist yet, makes the key.
KEY_FILE="$HOME/tarn-signing-key.txt"
CLIENT_DIR="$HOME/l2-client"
OUT_DIR="$HOME/tarn-update"

# Optional: the text the launcher shows with the result, and more publish options, e.g.
# EXTRA_OPTIONS="--once system/Option.ini --exclude *.log" (see: tarnbuilder publish --help).
BUILD_LABEL="$(date '+%Y-%m-%d %H:%M')"
EXTRA_OPTIONS=""

# tarnbuilder: beside this file, on the PATH, or in the source tree's release build.
here=$(cd "$(dirname "$0")" && pwd)
TARNBUILDER=${TARNBUILDER:-}
for candidate in "$here/tarnbuilder" "$(command -v tarnbuilder 2>/dev/null)" \
                 "$here/../../build/linux-release/tools/tarnbuilder/tarnbuilder"; do
  if [ -z "$TARNBUILDER" ] && [ -n "$candidate" ] && [ -x "$candidate" ]; then
    TARNBUILDER=$candidate
  fi
done
if [ -z "$TARNBUILDER" ]; then
  echo "tarnbuilder not found: put it beside this file" >&2
  exit 1
fi

if [ ! -e "$KEY_FILE" ]; then
  echo "No key yet: making one in $KEY_FILE"
  "$TARNBUILDER" keygen "$KEY_FILE" || exit 1
  echo "Keep a backup of $KEY_FILE, and never put it on the web server or in the client folder."
  echo "The launcher's TarnLauncher.json needs the public key printed above (tarnbuilder config)."
  echo
fi

# EXTRA_OPTIONS is split into words on purpose.
# shellcheck disable=SC2086
"$TARNBUILDER" publish --key "$KEY_FILE" --client "$CLIENT_DIR" --out "$OUT_DIR" \
  --build "$BUILD_LABEL" $EXTRA_OPTIONS || {
  echo
  echo "The update was NOT made: read the messages above." >&2
  exit 1
}
"$TARNBUILDER" verify --dir "$OUT_DIR" --key "$KEY_FILE" || {
  echo
  echo "The published folder has problems (listed above): do not serve it." >&2
  exit 1
}
echo
echo "The update is ready in $OUT_DIR. Serve that folder as the launcher's update URL"
echo "(docs/publishing.md says how to switch it in without disturbing players)."
