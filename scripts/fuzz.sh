#!/usr/bin/env bash
# Runs every fuzz target for a while from its seed corpus, two at a time, and
# prints one line per target: the edges it reached in its own unit's code.
# A crash or broken promise fails the script and names the saved input: add
# that input to fuzz/corpus/<name> and to the target's regression test.
#
#   scripts/fuzz.sh BUILD_DIR [SECONDS]     (BUILD_DIR configured with CORVANTA_FUZZ=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
out=$build/fuzz-run
rm -rf "$out"
mkdir -p "$out"

# target  the source whose coverage is reported
targets=(
  "wire common/broker/wire.cpp"
  "smtpreply server/net/smtpreply.cpp"
  "mxanswer server/net/mxanswer.cpp"
  "regfile settings/registry/regfile.cpp"
  "listsplit app/run/linesplitter.cpp"
  "emailformat server/verify/emailformat.cpp"
  "textnum common/textnum/textnumber.cpp"
)

run_one() {
  local name=$1 work=$out/$1
  mkdir -p "$work/corpus" "$work/crash"
  # Leak checking stays on; -rss_limit covers Qt's start-up footprint.
  "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -rss_limit_mb=4096 \
    -artifact_prefix="$work/crash/" "$work/corpus" "fuzz/corpus/$name" >"$work/log" 2>&1
}

pids=()
failed=0
for entry in "${targets[@]}"; do
  read -r name _ <<<"$entry"
  run_one "$name" &
  pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done

for entry in "${targets[@]}"; do
  read -r name source <<<"$entry"
  work=$out/$name
  if ls "$work"/crash/* >/dev/null 2>&1; then
    echo "fuzz $name: FAILED, input saved in $(ls "$work"/crash/* | head -1)"
    grep -m3 -E 'ERROR|broken|SUMMARY' "$work/log" || true
    continue
  fi
  # Edges reached in the unit's own functions, over the corpus as it grew.
  "$build/fuzz/${name}_fuzz" -runs=0 -print_coverage=1 "$work/corpus" >"$work/cov" 2>&1 || true
  summary=$({ grep -E '^(UN)?COVERED_FUNC' "$work/cov" | grep -F "/$source:" || true; } |
    sed -E 's/.* edges: ([0-9]+)\/([0-9]+) .*/\1 \2/' |
    awk '{c+=$1; t+=$2} END {if (t) printf "%d/%d edges (%.0f%%)", c, t, 100*c/t; else print "no edges"}')
  runs=$(grep -Eo '^Done [0-9]+ runs' "$work/log" | awk '{print $2}')
  echo "fuzz $name: ${runs:-?} runs, $source $summary, corpus $(ls "$work/corpus" | wc -l)"
done
exit $failed
