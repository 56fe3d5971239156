#!/usr/bin/env bash
# Block-level updates of tarn-update from a private nginx. For each update: the bytes nginx sent
# (from its access log, the manifest and its signature left out) and the wall time, against a
# whole download of the same update (the same run with the site's block indexes hidden, so that
# the launcher falls back):
#   1. one SIZE_MIB (1024) MiB file in 1 MiB blocks, 1 MiB changed in the middle
#      (target: at most 3 MiB fetched);
#   2. the same file with 100 bytes inserted near the start (target: at most 3 MiB fetched);
#   3. a FILES (2,000) file client of MANY_MIB (4096) MiB where 20 files (every hundredth)
#      changed slightly, 100 bytes each, published with each of BLOCKS (16K and 1M byte blocks)
#      (target: at most 2% of a whole download of those files);
#   4. the times of updates 1 and 2 against reading the old file once and writing the new one
#      (`cat old > new`, and that renamed over the old file; target: at most 1.5 times).
# The large file is random (it does not compress, so packed bytes are file bytes); the client's
# files are half text, half random (make_client). Each time
# is the quickest of REPS (3) runs, delta and whole alternating; the old client is restored
# before each run, its file times kept, and written back to disk (so that no earlier write
# competes with the run's). CACHE=cold (the default) then drops the old copy from the page
# cache, so that each run and `cat` read it from the disk once; CACHE=warm reads it first.
#
#   bench/update/block_update_bench.sh [BUILD_DIR]     (default: build/linux-release)
#   (PARTS=12 runs only the large file, PARTS=3 only the client of many files)
#
# Everything lives in one temporary folder under /tmp that is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/nginx.sh"
build=${1:-$root/build/linux-release}
reps=${REPS:-3}
size_mib=${SIZE_MIB:-1024}
files=${FILES:-2000}
many_mib=${MANY_MIB:-4096}
blocks=${BLOCKS:-16384 1048576}
parts=${PARTS:-123}
cache=${CACHE:-cold}
tool=$build/src/app/tarn-update
tarnbuilder=$build/tools/tarnbuilder/tarnbuilder
make_client=$build/bench/publish/make_client
for program in "$tool" "$tarnbuilder" "$make_client"; do
  [ -x "$program" ] || { echo "missing $program (build the linux-release preset)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tarn-block-bench.XXXXXX)
cleanup() {
  nginx_stop "$work/nginx"
  rm -rf "$work"
}
trap cleanup EXIT
mib=1048576

"$tarnbuilder" keygen "$work/key.txt" >/dev/null
key=$("$tarnbuilder" pubkey "$work/key.txt")
# publish SOURCE SITE [BLOCK_SIZE]: level 1, since packing speed is not measured here.
publish() {
  "$tarnbuilder" publish --key "$work/key.txt" --client "$1" --out "$2" --level 1 \
    --block-size "${3:-1048576}" >/dev/null
  # nginx's workers may run as another user: everything served must be readable to all.
  chmod -R a+rX "$2"
}
mkdir -p "$work/sites"
chmod a+rx "$work"
nginx_start "$work/nginx" "$work/sites"
log=$work/nginx/logs/access.log

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
# Body bytes sent, without manifest.json and manifest.sig (the same for both ways of updating).
served() { awk '$3 !~ /manifest\.(json|sig)$/ { s += $2 } END { print s + 0 }' "$log"; }
mib_of() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1048576 }'; }
# Writes everything back, then drops the files from the page cache or reads them into it.
settle() {
  sync
  for file in "$@"; do
    if [ "$cache" = cold ]; then
      dd if="$file" iflag=nocache count=0 status=none
    else
      cat "$file" >/dev/null
    fi
  done
}

# A client folder that updates from the site `$2`.
make_client_dir() {
  mkdir -p "$1"
  printf '{"updateUrl": "http://127.0.0.1:%s/%s/", "publicKey": "%s"}\n' "$nginx_port" "$2" \
    "$key" >"$1/TarnLauncher.json"
}

# Runs `$@`, setting `took` (wall seconds) and `cpu` (user + system seconds): on a shared
# machine the CPU time says more than the wall time about the work done.
timed() {
  local start
  start=$(now)
  /usr/bin/time -f '%U %S' -o "$work/cpu.txt" "$@"
  took=$(seconds "$start" "$(now)")
  cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$work/cpu.txt")
}

# One update of client `$1` after its files `$3...` were restored from `$2`; sets `took`, `cpu`
# and `bytes` (sent by nginx).
update_once() {
  local client=$1 saved=$2
  shift 2
  for file in "$@"; do cp -p "$saved/$file" "$client/$file"; done
  cp -p "$saved/.cache.json" "$client/.tarn_update/cache.json"
  local restored=()
  for file in "$@"; do restored+=("$client/$file"); done
  settle "${restored[@]}"
  : >"$log"
  timed "$tool" "$client" >/dev/null
  bytes=$(served)
}

# Installs site `$1` into client `$2` and keeps its files `$4...` and its cache in `$3`.
install_and_keep() {
  local site=$1 client=$2 saved=$3
  shift 3
  make_client_dir "$client" "$site"
  "$tool" "$client" >/dev/null
  mkdir -p "$saved"
  for file in "$@"; do
    mkdir -p "$(dirname "$saved/$file")"
    cp -p "$client/$file" "$saved/$file"
  done
  cp -p "$client/.tarn_update/cache.json" "$saved/.cache.json"
}

# Runs the update of client `$2` (files `$4...` restored from `$3`) REPS times by blocks and
# REPS times whole (site `$1`'s indexes hidden); sets delta_time, delta_cpu, delta_bytes,
# whole_time, whole_cpu, whole_bytes (the quickest times).
compare() {
  local site=$1 client=$2 saved=$3
  shift 3
  delta_time= whole_time= delta_cpu= whole_cpu=
  for i in $(seq "$reps"); do
    update_once "$client" "$saved" "$@"
    delta_time=$(smaller "$delta_time" "$took")
    delta_cpu=$(smaller "$delta_cpu" "$cpu")
    delta_bytes=$bytes
    local delta_took=$took delta_spent=$cpu
    find "$work/sites/$site/files" -name '*.tzi' -exec mv {} {}.hidden \;
    update_once "$client" "$saved" "$@"
    find "$work/sites/$site/files" -name '*.tzi.hidden' -exec sh -c 'mv "$1" "${1%.hidden}"' _ {} \;
    whole_time=$(smaller "$whole_time" "$took")
    whole_cpu=$(smaller "$whole_cpu" "$cpu")
    whole_bytes=$bytes
    printf '  run %d: blocks %s s (%s s CPU), whole %s s (%s s CPU)\n' "$i" "$delta_took" \
      "$delta_spent" "$took" "$cpu"
  done
}

report() {
  printf '%s: fetched %s MiB by blocks (target <= %s), %s MiB whole; %s s (%s s CPU) by blocks, %s s (%s s CPU) whole\n' \
    "$1" "$(mib_of "$delta_bytes")" "$2" "$(mib_of "$whole_bytes")" "$delta_time" "$delta_cpu" \
    "$whole_time" "$whole_cpu"
}

if [[ $parts == *[12]* ]]; then
echo "== one $size_mib MiB file in 1 MiB blocks"
mkdir -p "$work/big"
head -c $((size_mib * mib)) /dev/urandom >"$work/big/big.bin"
cp -p "$work/big/big.bin" "$work/v1.bin"
publish "$work/big" "$work/sites/big"
install_and_keep big "$work/client" "$work/saved" big.bin

middle=$((size_mib * mib / 2 + 12345))
dd if=/dev/urandom of="$work/big/big.bin" bs=1M count=1 seek="$middle" oflag=seek_bytes \
  conv=notrunc status=none
publish "$work/big" "$work/sites/big"
echo "== 1. 1 MiB changed in the middle"
compare big "$work/client" "$work/saved" big.bin
report "1 MiB changed in the middle" 3
changed_time=$delta_time changed_cpu=$delta_cpu

{ head -c 5000 "$work/v1.bin"; head -c 100 /dev/urandom; tail -c +5001 "$work/v1.bin"; } \
  >"$work/big/big.bin"
publish "$work/big" "$work/sites/big"
echo "== 2. 100 bytes inserted near the start"
compare big "$work/client" "$work/saved" big.bin
report "100 bytes inserted near the start" 3
inserted_time=$delta_time inserted_cpu=$delta_cpu

echo "== 4. reading the old file once and writing the new one ($cache)"
# The same, and then renamed over the old file the way an installer must (on ext4 such a rename
# starts writing the new file back at once).
floor() {
  local best= best_cpu=
  for i in $(seq "$reps"); do
    settle "$work/saved/big.bin"
    ln -f "$work/saved/big.bin" "$work/old.bin"
    timed sh -c "cat '$work/old.bin' > '$work/new.bin'$1"
    best=$(smaller "$best" "$took")
    best_cpu=$(smaller "$best_cpu" "$cpu")
    rm -f "$work/new.bin" "$work/old.bin"
  done
  awk -v c="$changed_time" -v i="$inserted_time" -v f="$best" -v cc="$changed_cpu" \
    -v ic="$inserted_cpu" -v fc="$best_cpu" -v what="$2" 'BEGIN {
    printf "by blocks / %s (%.3f s, %.2f s CPU): changed middle %.2f, inserted %.2f (target <= 1.5); CPU %.2f and %.2f\n",
      what, f, fc, c / f, i / f, cc / fc, ic / fc }'
}
floor "" "cat old > new"
floor " && mv '$work/new.bin' '$work/old.bin'" "cat old > new, mv new old"
rm -rf "$work/big" "$work/v1.bin" "$work/client" "$work/saved" "$work/sites/big"
fi
[[ $parts == *3* ]] || exit 0

echo "== 3. $files files, $many_mib MiB, 20 changed by 100 bytes"
"$make_client" "$work/many" "$files" $((many_mib * mib)) 1
mapfile -t changed < <(cd "$work/many" && find . -type f | sort | awk 'NR % 100 == 50' | head -20)
for file in "${changed[@]}"; do
  mkdir -p "$(dirname "$work/pristine/$file")"
  cp -p "$work/many/$file" "$work/pristine/$file"
done
for block in $blocks; do
  site=many$block
  for file in "${changed[@]}"; do cp -p "$work/pristine/$file" "$work/many/$file"; done
  publish "$work/many" "$work/sites/$site" "$block"
  install_and_keep "$site" "$work/client-many" "$work/saved-many" "${changed[@]}"
  for file in "${changed[@]}"; do
    size=$(stat -c %s "$work/many/$file")
    dd if=/dev/urandom of="$work/many/$file" bs=100 count=1 seek=$((size / 2)) \
      oflag=seek_bytes conv=notrunc status=none
  done
  publish "$work/many" "$work/sites/$site" "$block"
  compare "$site" "$work/client-many" "$work/saved-many" "${changed[@]}"
  awk -v d="$delta_bytes" -v w="$whole_bytes" -v b="$block" -v dt="$delta_time" -v wt="$whole_time" 'BEGIN {
    printf "20 of the files changed, %d-byte blocks: fetched %.0f KiB by blocks, %.0f KiB whole: %.2f%% (target <= 2%%); %s s by blocks, %s s whole\n",
      b, d / 1024, w / 1024, 100 * d / w, dt, wt }'
  rm -rf "$work/client-many" "$work/saved-many" "$work/sites/$site"
done
