#!/usr/bin/env bash
# Times `deskhand screenshot` against scrot and maim on one headless desktop with gtk3-widget-factory
# open: medians of several runs, ratios and file sizes.
#   bench/screenshot.sh [build-dir]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${RUNS:-15}

if [[ -z ${VELMORA_BENCH_INNER:-} ]]; then
  exec env VELMORA_BENCH_INNER=1 "$root/scripts/desktop-session" --app gtk3-widget-factory -- bash "$0" "$build"
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
sleep 1

# Median wall time in milliseconds of running "$@" $runs times.
median_ms() {
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1000}'
}

d=$(median_ms "$build/bin/deskhand" screenshot "$out/deskhand.png")
s=$(median_ms scrot -o "$out/scrot.png")
m=$(median_ms maim "$out/maim.png")
size() { stat -c %s "$1"; }
echo "screen: $(xdpyinfo | awk '/dimensions:/ {print $2}'), $runs runs each, median wall time"
printf '%-10s %8s ms %10s bytes\n' deskhand "$d" "$(size "$out/deskhand.png")"
printf '%-10s %8s ms %10s bytes\n' scrot "$s" "$(size "$out/scrot.png")"
printf '%-10s %8s ms %10s bytes\n' maim "$m" "$(size "$out/maim.png")"
awk -v d="$d" -v s="$s" -v m="$m" 'BEGIN {printf "deskhand/scrot = %.2f   deskhand/maim = %.2f\n", d/s, d/m}'
