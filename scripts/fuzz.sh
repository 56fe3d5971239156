#!/usr/bin/env bash
# Builds the libFuzzer targets (preset linux-fuzz) and runs each, one after another, for
# SECONDS on a scratch copy of its committed corpus, so a run never changes the repository.
# Fails on any crash, leak, timeout or sanitizer report, naming the target and the input that
# found it; ends with one line per target: executions, coverage (cov, ft) and corpus size.
#
#   scripts/fuzz.sh SECONDS [TARGET...]     e.g. scripts/fuzz.sh 10 (what scripts/test.sh runs)
#   nice -n 19 scripts/fuzz.sh 600          a campaign on a shared machine
#
# An input that found a fault belongs in fuzz/<subsystem>/corpus/<target>/ under a plain name.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage="usage: scripts/fuzz.sh SECONDS [TARGET...]"
seconds=${1:?$usage}
shift
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "$usage" >&2
  exit 2
fi

logs="$root/build/logs"
mkdir -p "$logs"
echo "== building linux-fuzz"
if ! { cmake --preset linux-fuzz && cmake --build --preset linux-fuzz --target fuzzers; } \
  >"$logs/linux-fuzz.log" 2>&1; then
  tail -n 60 "$logs/linux-fuzz.log"
  echo "build of linux-fuzz failed (full log: $logs/linux-fuzz.log)" >&2
  exit 1
fi

# Every target has its corpus folder (tarn_add_fuzzer insists), so the folders list them.
declare -A corpus_of
for folder in fuzz/*/corpus/*/; do
  folder=${folder%/}
  corpus_of[${folder##*/}]=$folder
done
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(printf '%s\n' "${!corpus_of[@]}" | sort)
fi

# Corpus copies, logs and the inputs that failed stay in build/fuzz until the next run; the
# targets' own scratch files go to a private temporary folder, in memory when there is one.
work="$root/build/fuzz"
rm -rf "$work"
mkdir -p "$work"
TMPDIR=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo /tmp )/tarn-fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
export UBSAN_OPTIONS=print_stacktrace=1

failed=()
summary=()
for target in "${targets[@]}"; do
  corpus=${corpus_of[$target]:-}
  if [ -z "$corpus" ]; then
    echo "no such fuzz target: $target" >&2
    exit 2
  fi
  subsystem=${corpus#fuzz/}
  subsystem=${subsystem%%/*}
  binary="$root/build/linux-fuzz/fuzz/$subsystem/$target"
  log="$work/$target.log"
  mkdir -p "$work/corpus/$target" "$work/failed/$target"
  cp -R "$corpus/." "$work/corpus/$target/"

  echo "== fuzzing $target for ${seconds}s"
  if ! "$binary" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$work/failed/$target/" "$work/corpus/$target" >"$log" 2>&1; then
    tail -n 40 "$log"
    inputs=$(find "$work/failed/$target" -type f | tr '\n' ' ')
    echo "fuzz target $target failed on: ${inputs:-(no input kept)} (log: $log)" >&2
    failed+=("$target")
    continue
  fi
  # The last status line, e.g. "#81234 DONE cov: 512 ft: 1490 corp: 96/5187b ...".
  status=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1 || true)
  executions=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log")
  summary+=("$(printf '%-22s %5ss %10s execs  cov %5s  ft %6s  corpus %s' "$target" "$seconds" \
    "${executions:-?}" \
    "$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$status")" \
    "$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$status")" \
    "$(sed -nE 's/.* corp: ([0-9]+\/[0-9a-zA-Z]+).*/\1/p' <<<"$status")")")
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]} (inputs in $work/failed)" >&2
  exit 1
fi
