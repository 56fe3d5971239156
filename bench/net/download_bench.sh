#!/usr/bin/env bash
# Downloads one large file from a local nginx with our CurlFetcher (fetch_file) and with the
# curl command line, alternating, several times each, and prints our time over curl's.
#
#   bench/net/download_bench.sh [FETCH_FILE]
#   (environment: SIZE_MIB, default 1024; REPS, default 5)
#
# FETCH_FILE defaults to build/linux-release/bench/net/fetch_file. Everything (the served file,
# nginx's configuration, logs and pid file, the downloads) lives in one temporary folder that
# is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/nginx.sh"
fetch=${1:-$root/build/linux-release/bench/net/fetch_file}
size_mib=${SIZE_MIB:-1024}
reps=${REPS:-5}

command -v curl >/dev/null || { echo "missing: curl" >&2; exit 1; }
[ -x "$fetch" ] || { echo "missing $fetch (build the linux-release preset)" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  nginx_stop "$work/nginx"
  rm -rf "$work"
}
trap cleanup EXIT

# nginx's workers may run as another user: the served folder must be readable to all.
chmod 755 "$work"
mkdir -p "$work/www" "$work/out"
chmod 755 "$work/www"
echo "== creating a ${size_mib} MiB file"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/www/big.bin"
chmod 644 "$work/www/big.bin"
sync

nginx_start "$work/nginx" "$work/www"
url="http://127.0.0.1:$nginx_port/big.bin"
expected=$(stat -c %s "$work/www/big.bin")

now() { date +%s.%N; }
# Runs one download command, checks the result's size, prints the seconds taken. Each run
# starts with nothing left to write back, so one run's dirty pages do not slow the next.
timed() {
  local dest=$work/out/big.bin start end
  rm -f "$dest"
  sync
  start=$(now)
  "$@" "$url" "$dest" >/dev/null
  end=$(now)
  [ "$(stat -c %s "$dest")" = "$expected" ] || { echo "wrong size from $1" >&2; exit 1; }
  rm -f "$dest"
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }'
}
curl_cli() { curl -s -S -o "$2" "$1"; }

echo "== $reps downloads each of $url (after one untimed download each)"
timed "$fetch" >/dev/null
timed curl_cli >/dev/null
ours_total=0
curl_total=0
ours_all=()
curl_all=()
for i in $(seq "$reps"); do
  # Alternate the order so neither always runs on a warmer cache.
  if [ $((i % 2)) -eq 1 ]; then
    ours=$(timed "$fetch"); theirs=$(timed curl_cli)
  else
    theirs=$(timed curl_cli); ours=$(timed "$fetch")
  fi
  printf 'run %d: fetch_file %.3f s, curl %.3f s\n' "$i" "$ours" "$theirs"
  ours_all+=("$ours")
  curl_all+=("$theirs")
  ours_total=$(awk -v a="$ours_total" -v b="$ours" 'BEGIN { printf "%.6f", a + b }')
  curl_total=$(awk -v a="$curl_total" -v b="$theirs" 'BEGIN { printf "%.6f", a + b }')
done
printf 'total: fetch_file %.3f s, curl %.3f s\n' "$ours_total" "$curl_total"
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ours_median=$(median "${ours_all[@]}")
curl_median=$(median "${curl_all[@]}")
printf 'median: fetch_file %.3f s, curl %.3f s\n' "$ours_median" "$curl_median"
awk -v a="$ours_total" -v b="$curl_total" -v c="$ours_median" -v d="$curl_median" \
  'BEGIN { printf "ratio fetch_file / curl: %.3f over the totals, %.3f over the medians (target <= 1.1)\n", a / b, c / d }'
