#!/usr/bin/env bash
# See it work: the whole update path on this machine, from a new signing key to a player's
# client folder kept in line with two published versions.
#
#   scripts/demo.sh
#
# On a fresh Debian 12 machine, as root, it installs what it needs, builds the linux-release
# preset's tarnbuilder and tarn-update, then, all inside one temporary folder: makes a sample
# client, a key, publishes it, serves it with nginx on a free loopback port, installs it into an
# empty player folder with tarn-update, damages a file and repairs it, publishes a second
# version into a new folder, switches the served folder to it in one step and updates again.
# Nothing is left running or lying around afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

say() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
summary=()
note() {
  summary+=("$*")
  printf '   -> %s\n' "$*"
}

say "installing what the demo needs"
"$root/scripts/deps.sh" --demo

say "building tarnbuilder and tarn-update (linux-release)"
mkdir -p build/logs
if ! { cmake --preset linux-release && cmake --build --preset linux-release --target tarnbuilder tarn-update; } \
  >build/logs/demo-build.log 2>&1; then
  tail -n 40 build/logs/demo-build.log
  echo "build failed (full log: build/logs/demo-build.log)" >&2
  exit 1
fi
tarnbuilder=$root/build/linux-release/tools/tarnbuilder/tarnbuilder
tarn_update=$root/build/linux-release/src/app/tarn-update
. "$root/scripts/lib/nginx.sh"

work=$(mktemp -d /tmp/tarn-demo.XXXXXX)
cleanup() {
  nginx_stop "$work/nginx"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# nginx's workers may run as another user: everything served must be readable to all.
chmod 755 "$work"
umask 022

# ---- a sample client ------------------------------------------------------------------------
say "making a sample client in $work/client"
client=$work/client
mkdir -p "$client"/{system,textures,maps,sounds,data}
# Random bytes (incompressible, like sounds and archives) and text-like bytes (compressible).
random_file() { head -c "$2" /dev/urandom >"$1"; }
text_file() {
  LC_ALL=C awk -v name="$(basename "$1")" -v size="$2" 'BEGIN {
    while (bytes < size) {
      row = sprintf("row %06d texture=%s u=%d v=%d alpha=1.0 mip=4\n", i, name, i % 97, i % 89)
      if (bytes + length(row) > size) row = substr(row, 1, size - bytes)
      printf "%s", row
      bytes += length(row)
      i++
    }
  }' >"$1"
}
random_file "$client/system/L2.exe" 3000000
for i in $(seq -w 1 40); do random_file "$client/system/engine$i.dll" $((60000 + 7000 * 10#$i)); done
printf '[Video]\nGamePlayViewportX=1280\nGamePlayViewportY=720\n' >"$client/system/Option.ini"
printf '[Net]\nServer=127.0.0.1\n' >"$client/system/L2 Config.ini"
for i in $(seq -w 1 150); do text_file "$client/textures/tex$i.utx" $((40000 + 1500 * 10#$i)); done
for i in $(seq -w 1 60); do
  text_file "$client/maps/map$i.unr" 120000
  random_file "$client/maps/map$i.tail" 30000
  cat "$client/maps/map$i.tail" >>"$client/maps/map$i.unr"
  rm "$client/maps/map$i.tail"
done
for i in $(seq -w 1 50); do random_file "$client/sounds/ambient_$i.uax" $((100000 + 4000 * 10#$i)); done
text_file "$client/data/Žemėlapis.dat" 500000
files=$(find "$client" -type f | wc -l)
size=$(du -sb "$client" | cut -f1)
note "sample client: $files files, $((size / 1048576)) MiB (textures and maps compress, sounds and executables do not; one name with a space, one non-ASCII)"

# ---- key --------------------------------------------------------------------------------------
say "tarnbuilder keygen"
public_key=$("$tarnbuilder" keygen "$work/signing-key.txt")
echo "public key: $public_key"
note "signing key made (owner-only file); public key ${public_key:0:16}..."

# ---- publish version 1 ---------------------------------------------------------------------
releases=$work/releases
mkdir -p "$releases" "$work/www"
say "tarnbuilder publish (version 1)"
"$tarnbuilder" publish --key "$work/signing-key.txt" --client "$client" --out "$releases/v1" \
  --build "demo v1" --once system/Option.ini
"$tarnbuilder" verify --dir "$releases/v1" --pubkey "$public_key"
ln -s "$releases/v1" "$work/www/updater"
note "published version 1 to releases/v1 ($(du -sb "$releases/v1/files" | cut -f1 | awk '{printf "%.1f", $1/1048576}') MiB packed) and verified it"

# ---- nginx ------------------------------------------------------------------------------------
say "serving the published folder with nginx"
# The manifest and its signature are never cached, so a switch is seen at once; nothing under a
# dot is served.
nginx_start "$work/nginx" "$work/www" '    location ~ ^/updater/manifest\.(json|sig)$ { add_header Cache-Control "no-cache"; }
    location ~ /\. { deny all; }'
update_url="http://127.0.0.1:$nginx_port/updater/"
echo "update URL: $update_url"
note "nginx serves www/updater -> releases/v1 at $update_url"

# What nginx sent since the last call, in $served_text: "<requests> requests, <MiB> MiB".
log_mark=0
served_text=
served() {
  local log=$work/nginx/logs/access.log
  touch "$log"
  local total
  total=$(wc -l <"$log")
  served_text=$(tail -n +$((log_mark + 1)) "$log" |
    awk '{n++; b+=$2} END {printf "%d requests, %.1f MiB", n, b/1048576}')
  log_mark=$total
}

# ---- the player ---------------------------------------------------------------------------
player=$work/player
mkdir -p "$player"
say "tarnbuilder config: the launcher's TarnLauncher.json in an empty player folder"
"$tarnbuilder" config --pubkey "$public_key" --update-url "$update_url" --server-name "Tarn demo" \
  --language en "$player"
cat "$player/TarnLauncher.json"

# The player's folder must equal the client, apart from the launcher's own files.
check_same() {
  if diff -r -q -x .tarn_update -x TarnLauncher.json "$client" "$player"; then
    echo "player folder matches the client, byte for byte"
  else
    echo "player folder differs from the client" >&2
    exit 1
  fi
}

say "tarn-update: installing everything"
served
"$tarn_update" "$player"
check_same
served
note "tarn-update installed version 1 into the empty folder ($served_text); the player folder equals the client"

say "tarn-update again: nothing to do"
"$tarn_update" "$player"
served
note "second run: nothing to download ($served_text: the manifest and its signature)"

# ---- damage and repair ---------------------------------------------------------------------
say "damaging system/L2.exe (same size, same modification time) and running tarn-update --repair"
cp -p "$player/system/L2.exe" "$work/L2.exe.saved"
printf 'DAMAGE' | dd of="$player/system/L2.exe" bs=1 seek=100000 conv=notrunc status=none
touch -r "$work/L2.exe.saved" "$player/system/L2.exe"
rm "$work/L2.exe.saved"
"$tarn_update" --repair "$player"
check_same
served
note "--repair re-read every file, found the damaged L2.exe and fetched it again ($served_text)"

# ---- version 2, published into a new folder and switched in one step ------------------------
say "version 2: one file changed, one removed; published into a new folder"
printf '[Net]\nServer=127.0.0.1\nPort=7777\n' >"$client/system/L2 Config.ini"
rm "$client/sounds/ambient_07.uax"
cp -al "$releases/v1" "$releases/v2"
"$tarnbuilder" publish --key "$work/signing-key.txt" --client "$client" --out "$releases/v2" \
  --build "demo v2" --once system/Option.ini --remove sounds/ambient_07.uax
"$tarnbuilder" verify --dir "$releases/v2" --pubkey "$public_key"
# Version 1 is still being served until the switch, and must be exactly as it was.
"$tarnbuilder" verify --dir "$releases/v1" --pubkey "$public_key" >/dev/null
ln -s "$releases/v2" "$work/www/updater.next"
mv -T "$work/www/updater.next" "$work/www/updater"
note "published version 2 into releases/v2 (started as hard links of v1, which still verifies intact: only the changed file was packed) and switched www/updater to it with one rename"

say "tarn-update: updating to version 2"
"$tarn_update" "$player"
check_same
[ ! -e "$player/sounds/ambient_07.uax" ] || { echo "the removed file is still there" >&2; exit 1; }
served
note "tarn-update fetched the changed file and deleted the removed one ($served_text)"

say "summary"
for line in "${summary[@]}"; do echo " - $line"; done
echo
echo "Everything ran in $work, which is removed now; nginx is stopped."
