#!/usr/bin/env bash
# Throughput of pointer moves into a headless X server: relaypost against xdotool reading a script on
# standard input, and against one xdotool process per move (sampled and extrapolated).
#
# Usage: bench/relaypost-throughput.sh [BUILD_DIR] [LINES] [SAMPLED_PROCESSES]
# Starts its own private desktop through scripts/desktop-session unless DISPLAY is already set by it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
lines=${2:-100000}
sampled=${3:-200}
if [[ -z ${VELMORA_IN_SESSION:-} ]]; then
  exec env VELMORA_IN_SESSION=1 "$here/scripts/desktop-session" -- bash "$0" "$build" "$lines" "$sampled"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++) printf "{\"type\":\"mousemove\",\"x\":%d,\"y\":%d}\n", i % 1440, (i * 7) % 900 }' >"$work/moves.ndjson"
awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++) printf "mousemove %d %d\n", i % 1440, (i * 7) % 900 }' >"$work/moves.xdo"

seconds() { date +%s.%N; }
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { t = b - a; printf "%.0f lines/s (%.3f s)", n / t, t }'; }

start=$(seconds)
"$build/bin/relaypost" <"$work/moves.ndjson"
end=$(seconds)
echo "relaypost:             $(rate "$lines" "$start" "$end")"

start=$(seconds)
xdotool - <"$work/moves.xdo" >/dev/null
end=$(seconds)
echo "xdotool - (script):    $(rate "$lines" "$start" "$end")"

start=$(seconds)
head -n "$sampled" "$work/moves.xdo" | while read -r _ x y; do xdotool mousemove "$x" "$y"; done
end=$(seconds)
echo "xdotool per move:      $(rate "$sampled" "$start" "$end") sampled over $sampled processes"
