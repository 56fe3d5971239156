#!/usr/bin/env bash
# tarn-update itself, served by a local nginx:
#   first install: a 1 GiB client of 2,000 files into an empty folder, wall time against the
#                  curl command line fetching the same packed files over one connection;
#   peak memory:   installing one 2 GiB file (target: at most 64 MiB), once for each block size
#                  in BLOCKS_KIB (default: 1 MiB, the publisher's, and 16 MiB, the largest).
# Each timing is the quickest of REPS runs (default 3), ours and curl's alternating. FILES,
# MANY_MIB and LARGE_MIB change the sizes (for a quick try of the script itself).
#
#   bench/update/tarn_update_bench.sh [BUILD_DIR]     (default: build/linux-release)
#
# Everything (the published sites, nginx's configuration and logs, the clients, curl's
# downloads) lives in one temporary folder under /tmp that is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/nginx.sh"
build=${1:-$root/build/linux-release}
reps=${REPS:-3}
files=${FILES:-2000}
many_mib=${MANY_MIB:-1024}
large_mib=${LARGE_MIB:-2048}
blocks_kib=${BLOCKS_KIB:-1024 16384}
tool=$build/src/app/tarn-update
make_published_client=$build/bench/update/make_published_client
peak_memory=$build/bench/update/peak_memory

for program in "$tool" "$make_published_client" "$peak_memory"; do
  [ -x "$program" ] || { echo "missing $program (build the linux-release preset)" >&2; exit 1; }
done
command -v curl >/dev/null || { echo "missing: curl" >&2; exit 1; }

work=$(mktemp -d /tmp/tarn-update-bench.XXXXXX)
cleanup() {
  nginx_stop "$work/nginx"
  rm -rf "$work"
}
trap cleanup EXIT

echo "== publishing a client of $files files in $many_mib MiB and a client of one $large_mib MiB file"
key=$("$make_published_client" "$work/many" "$files" "$many_mib")
for kib in $blocks_kib; do
  "$make_published_client" "$work/large$kib" 1 "$large_mib" "$kib" >/dev/null
done
# nginx's workers may run as another user: everything served must be readable to all.
chmod -R a+rX "$work"

nginx_start "$work/nginx" "$work"
base="http://127.0.0.1:$nginx_port"

# An empty client folder that updates from the site `$1`.
fresh_client() {
  rm -rf "$work/client"
  mkdir -p "$work/client"
  printf '{"updateUrl": "%s/%s/site/", "publicKey": "%s"}\n' "$base" "$1" "$key" \
    >"$work/client/TarnLauncher.json"
}

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

# curl fetches every packed file of the site once, in one process over one connection.
(cd "$work/many/site" && find files -name '*.tz' | sort) | while read -r file; do
  printf 'url = "%s/many/site/%s"\noutput = "%s/curl/%s"\n' "$base" "$file" "$work" "$file"
done >"$work/curl.conf"
packed_bytes=$(find "$work/many/site/files" -name '*.tz' -printf '%s\n' | awk '{ s += $1 } END { print s }')

echo "== first install of $many_mib MiB in $files files, $reps runs each"
ours_best=
curl_best=
for i in $(seq "$reps"); do
  fresh_client many
  start=$(now)
  "$tool" "$work/client" >/dev/null
  ours=$(seconds "$start" "$(now)")
  rm -rf "$work/client" "$work/curl"
  mkdir -p "$work/curl"
  start=$(now)
  curl -s -S --fail --create-dirs -K "$work/curl.conf"
  theirs=$(seconds "$start" "$(now)")
  rm -rf "$work/curl"
  printf 'run %d: tarn-update %s s, curl %s s\n' "$i" "$ours" "$theirs"
  ours_best=$(smaller "$ours_best" "$ours")
  curl_best=$(smaller "$curl_best" "$theirs")
done
awk -v a="$ours_best" -v b="$curl_best" -v n="$packed_bytes" 'BEGIN {
  printf "first install: tarn-update %.3f s, curl %.3f s for %.0f MB packed; ratio tarn-update / curl %.3f\n", a, b, n / 1e6, a / b }'

for kib in $blocks_kib; do
  echo "== installing one $large_mib MiB file in blocks of $kib KiB"
  fresh_client "large$kib"
  "$peak_memory" "$work/peak.txt" "$tool" "$work/client" >/dev/null
  peak_kib=$(cat "$work/peak.txt")
  awk -v k="$peak_kib" -v m="$large_mib" -v b="$kib" 'BEGIN {
    printf "peak memory of tarn-update installing %d MiB in %d KiB blocks: %.1f MiB (target <= 64)\n", m, b, k / 1024 }'
done
