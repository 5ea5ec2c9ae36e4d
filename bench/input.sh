#!/usr/bin/env bash
# Whole-process cost of deskhand's input commands against xdotool, on a private desktop:
#
#   scripts/desktop-session -- bash bench/input.sh BUILD/bin
#
# 1. deskhand click X Y and deskhand key cmd+shift+t: mean run time minus the pauses the commands make by
#    contract (click 45 ms, a combination with two modifiers 28 ms) is the overhead (goal: 5 ms or less);
#    xdotool click / key for comparison.
# 2. Typing 1,000 mixed characters (ASCII, accents, quotes, CJK, emoji) into a zenity entry with deskhand
#    type and with xdotool type: characters per second and whether the entry received the text exactly.
set -euo pipefail
bin=${1:?usage: input.sh BUILD/bin}
command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A window that takes the clicks and keys, so that nothing else on the desktop reacts to them.
"$bin/xrecorder" >/dev/null &
pids+=($!)
sleep 1

mean_ms() { python3 -c "import json,sys; print('%.2f' % (json.load(open(sys.argv[1]))['results'][int(sys.argv[2])]['mean']*1000))" "$1" "$2"; }

hyperfine -N --warmup 5 --runs 40 --export-json "$work/click.json" \
  "$bin/deskhand click 200 200" "xdotool mousemove 200 200 click 1" >/dev/null
hyperfine -N --warmup 5 --runs 40 --export-json "$work/key.json" \
  "$bin/deskhand key cmd+shift+t" "xdotool key super+shift+t" >/dev/null
click=$(mean_ms "$work/click.json" 0)
xclick=$(mean_ms "$work/click.json" 1)
key=$(mean_ms "$work/key.json" 0)
xkey=$(mean_ms "$work/key.json" 1)
printf 'deskhand click      %7.2f ms  overhead %6.2f ms   (xdotool click %.2f ms)\n' "$click" \
  "$(python3 -c "print($click-45)")" "$xclick"
printf 'deskhand key c+s+t  %7.2f ms  overhead %6.2f ms   (xdotool key %.2f ms)\n' "$key" \
  "$(python3 -c "print($key-28)")" "$xkey"

# The same 1,000 characters every run.
python3 - "$work/text.txt" <<'EOF'
import random, sys
random.seed(1000)
pool = (list("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:'\"!?()-")
        + list("éèàüöäßñçÅÆØœ€“”«»") + [chr(c) for c in range(0x65e5, 0x65e5 + 60)] + ["😀", "🎉", "🚀", "👍"])
open(sys.argv[1], "w").write("".join(random.choice(pool) for _ in range(1000)))
EOF
kill "${pids[0]}" 2>/dev/null || true

type_into_zenity() {  # name, command...; prints chars/s and whether the text arrived intact
  local name=$1
  shift
  zenity --entry --title=bench --text=bench >"$work/out.txt" 2>/dev/null &
  local zp=$!
  pids+=($zp)
  timeout 30 xdotool search --sync --onlyvisible --pid "$zp" >/dev/null || true
  sleep 0.8
  local start end
  start=$(date +%s.%N)
  "$@" "$(cat "$work/text.txt")" >/dev/null || true
  end=$(date +%s.%N)
  xdotool key Return || true
  for _ in $(seq 300); do kill -0 "$zp" 2>/dev/null || break; sleep 0.1; done
  python3 - "$work/text.txt" "$work/out.txt" "$name" "$start" "$end" <<'EOF'
import sys
want = open(sys.argv[1]).read()
got = open(sys.argv[2]).read()[:-1]
secs = float(sys.argv[5]) - float(sys.argv[4])
first = next((i for i, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
verdict = "exact" if want == got else "WRONG (%d of %d chars arrived, first difference at %d)" % (len(got), len(want), first)
print("%-24s %8.0f chars/s  %6.2f s  %s" % (sys.argv[3], len(want) / secs, secs, verdict))
EOF
  # Let the desktop digest the keymap changes before the next run.
  sleep 3
}
type_into_zenity "deskhand type" "$bin/deskhand" type
type_into_zenity "xdotool type" xdotool type
type_into_zenity "xdotool type --delay 0" xdotool type --delay 0
