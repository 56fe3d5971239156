#!/usr/bin/env bash
# Publishing speed, each figure a ratio from one run:
#  1. full publish of a 1 GiB, 2,000-file client with tarnbuilder (every core) over `gzip -6`
#     compressing the same files one after another (target: at most 0.7);
#  2. republish after changing one file of a 20,000-file, 1 GiB client over that client's full
#     publish (target: at most 0.05).
#
#   bench/publish/publish_bench.sh [BUILD_DIR]
#   (environment: SIZE_MIB, default 1024; PARTS, default 12: which of the two to run)
#
# BUILD_DIR defaults to build/linux-release. The clients, the outputs and gzip's files live in
# one temporary folder that is removed at the end. Every file is read once before timing, so
# both sides read from the page cache.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/linux-release}
tarnbuilder=$build/tools/tarnbuilder/tarnbuilder
make_client=$build/bench/publish/make_client
size=$(( ${SIZE_MIB:-1024} * 1024 * 1024 ))
parts=${PARTS:-12}
for program in "$tarnbuilder" "$make_client"; do
  [ -x "$program" ] || { echo "missing $program (build the linux-release preset)" >&2; exit 1; }
done
command -v gzip >/dev/null || { echo "missing: gzip" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tarnbuilder" keygen "$work/key.txt" >/dev/null

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
publish() {
  "$tarnbuilder" publish --key "$work/key.txt" --client "$1" --out "$2" >/dev/null
}

full_vs_gzip() {
  echo "== 1. full publish vs gzip -6, 2,000 files, $((size / 1048576)) MiB, $(nproc) cores"
  "$make_client" "$work/c2k" 2000 "$size" 1
  find "$work/c2k" -type f -exec cat {} + >/dev/null
  mkdir "$work/gz"
  local i=0 file start
  start=$(now)
  while IFS= read -r -d '' file; do
    gzip -6 -c "$file" >"$work/gz/$i.gz"
    i=$((i + 1))
  done < <(find "$work/c2k" -type f -print0 | sort -z)
  gzip_time=$(elapsed "$start" "$(now)")
  gzip_bytes=$(du -sb "$work/gz" | cut -f1)
  rm -rf "$work/gz"
  start=$(now)
  publish "$work/c2k" "$work/out2k"
  publish_time=$(elapsed "$start" "$(now)")
  packed_bytes=$(du -sb "$work/out2k/files" | cut -f1)
  printf 'gzip -6 one by one: %.2f s (%d MiB out)\n' "$gzip_time" $((gzip_bytes / 1048576))
  printf 'tarnbuilder publish: %.2f s (%d MiB out)\n' "$publish_time" $((packed_bytes / 1048576))
  echo "ratio publish / gzip: $(ratio "$publish_time" "$gzip_time") (target <= 0.7)"
  rm -rf "$work/c2k" "$work/out2k"
}

republish_vs_full() {
  echo "== 2. republish after one change, 20,000 files, $((size / 1048576)) MiB"
  "$make_client" "$work/c20k" 20000 "$size" 2
  find "$work/c20k" -type f -exec cat {} + >/dev/null
  start=$(now)
  publish "$work/c20k" "$work/out20k"
  full_time=$(elapsed "$start" "$(now)")
  printf 'changed\n' >>"$work/c20k/d00/s00/file00000.utx"
  start=$(now)
  publish "$work/c20k" "$work/out20k"
  again_time=$(elapsed "$start" "$(now)")
  printf 'full publish: %.2f s\n' "$full_time"
  printf 'republish after changing one file: %.3f s\n' "$again_time"
  echo "ratio republish / full: $(ratio "$again_time" "$full_time") (target <= 0.05)"
}

[[ $parts != *1* ]] || full_vs_gzip
[[ $parts != *2* ]] || republish_vs_full
