#!/usr/bin/env bash
# Soak: feeds relaypost-sim 1 GB (default) of random bytes and broken JSON, then one valid line, and
# checks that the loop never stopped (the valid line is in the journal, exit status 0, no output) and
# reports the peak resident memory. Not part of the regular test run.
#
# Usage: bench/relaypost-soak.sh [BUILD_DIR] [MEGABYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
megabytes=${2:-1024}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One stream: random bytes interleaved with broken JSON lines and a few huge lines.
noise() {
  local broken='{"type":"mousemove","x":1,"y":' i=0
  while ((i < megabytes)); do
    head -c 786432 /dev/urandom
    for _ in $(seq 200); do printf '%s\n{"type":"keydown","modifiers":[\n\x00{"type":5}\n' "$broken"; done
    head -c 262144 /dev/zero | tr '\0' '{'
    printf '\n'
    i=$((i + 1))
  done
  printf '\n{"type":"mousemove","x":321,"y":123}\n'
}

journal=$work/journal.jsonl
status=0
noise | SIM_JOURNAL=$journal /usr/bin/time -v -o "$work/time" "$build/bin/relaypost-sim" >"$work/out" 2>"$work/err" || status=$?
peak=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$work/time")
echo "input: ${megabytes} MB; exit status: $status; peak RSS: ${peak} KB"
[[ $status -eq 0 ]] || { echo "FAIL: exit status $status"; exit 1; }
[[ ! -s $work/out && ! -s $work/err ]] || { echo "FAIL: relaypost wrote output"; exit 1; }
tail -n 1 "$journal" | grep -q '"x":321,"y":123' || { echo "FAIL: the valid line after the noise was not posted"; exit 1; }
echo "OK: the loop survived and handled the final line"
