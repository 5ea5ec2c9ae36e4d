#!/usr/bin/env bash
# deskhand observe against a pyatspi walk reading the same attributes, on a private desktop with
# gtk3-widget-factory (a few hundred accessible objects). Prints the median of each:
#   - the pyatspi walk alone (timed inside Python, interpreter start-up excluded);
#   - the whole observe command;
#   - observe's enumeration: the command minus its fixed 150 ms settle and minus a plain screenshot
#     (an upper bound: process start-up and badge drawing stay in it).
#
#   bench/observe.sh [BIN_DIR] [RUNS]      (BIN_DIR defaults to build/bin, RUNS to 20)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/bin}
runs=${2:-20}
[[ -x $bin/deskhand ]] || { echo "no $bin/deskhand: build it first" >&2; exit 2; }
if [[ -z ${DESKHAND_BENCH_INSIDE:-} ]]; then
  DESKHAND_BENCH_INSIDE=1 exec "$here/scripts/desktop-session" --app gtk3-widget-factory -- bash "$0" "$bin" "$runs"
fi
app=$(pgrep -n -f gtk3-widget-factory)
sleep 1
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { date +%s.%N; }
shot=$(mktemp /tmp/observe-bench-XXXXXX.png)
timeit() {
  for _ in $(seq "$runs"); do
    s=$(now); "$@" >/dev/null; e=$(now); echo "$e - $s" | bc -l
  done | median
}
py=$(for _ in $(seq "$runs"); do /usr/bin/python3 "$here/bench/pyatspi_walk.py" "$app" | cut -d' ' -f1; done | median)
obs=$(timeit "$bin/deskhand" observe --pid "$app" --screenshot "$shot")
cap=$(timeit "$bin/deskhand" screenshot "$shot")
enum=$(echo "$obs - 0.150 - $cap" | bc -l)
count=$("$bin/deskhand" observe --pid "$app" --screenshot "$shot" | grep -c '"number"')
rm -f "$shot"
printf 'elements numbered by observe: %d\n' "$count"
printf 'pyatspi walk (median):        %.4f s\n' "$py"
printf 'observe command (median):     %.4f s\n' "$obs"
printf 'screenshot command (median):  %.4f s\n' "$cap"
printf 'observe enumeration (bound):  %.4f s  (%.3fx the pyatspi walk)\n' "$enum" "$(echo "$enum / $py" | bc -l)"
