#!/usr/bin/env bash
# soundpick get against pactl asking the same two questions (default sink, default source), on a private
# PulseAudio daemon with a handful of null devices. Prints the median wall time of each and their ratio.
#
#   bench/soundpick.sh [BIN_DIR] [RUNS]      (BIN_DIR defaults to build/bin, RUNS to 200)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/bin}
runs=${2:-200}
[[ -x $bin/soundpick ]] || { echo "no $bin/soundpick: build it first" >&2; exit 2; }
for tool in pulseaudio pactl hyperfine python3; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (see scripts/install-deps)" >&2; exit 2; }
done

dir=$(mktemp -d /tmp/soundpick-bench-XXXXXX)
pid=
cleanup() {
  if [[ -n $pid ]]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM

mkdir -m 700 "$dir/runtime" "$dir/home"
cat >"$dir/server.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
load-module module-null-sink sink_name=spk sink_properties='device.description="Café Speakers"'
load-module module-null-sink sink_name=hdmi sink_properties='device.description="HDMI Output"'
load-module module-null-sink sink_name=usb sink_properties='device.description="USB Headset"'
load-module module-null-source source_name=mic description="Desk Mic"
load-module module-null-source source_name=cam description="Webcam Mic"
EOF
HOME=$dir/home XDG_RUNTIME_DIR=$dir/runtime PULSE_RUNTIME_PATH=$dir/runtime \
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
  --log-target=stderr -F "$dir/server.pa" 2>"$dir/server.log" &
pid=$!

export PULSE_SERVER=unix:$dir/native
for _ in $(seq 100); do
  pactl list short sources 2>/dev/null | grep -q mic && break
  sleep 0.05
done
pactl set-default-sink usb
pactl set-default-source mic
echo "soundpick get: $("$bin/soundpick" get)"

hyperfine --warmup 20 --runs "$runs" --shell=none --export-json "$dir/result.json" \
  "$bin/soundpick get" "pactl get-default-sink" "pactl get-default-source" >/dev/null
python3 - "$dir/result.json" <<'EOF'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
ours = results[0]["median"] * 1000
sink = results[1]["median"] * 1000
source = results[2]["median"] * 1000
# pactl needs two runs, one per default; soundpick answers both in one.
pair = sink + source
print(f"soundpick get                 median {ours:.2f} ms")
print(f"pactl get-default-sink        median {sink:.2f} ms")
print(f"pactl get-default-source      median {source:.2f} ms")
print(f"pactl sink + source           {pair:.2f} ms")
print(f"ratio soundpick / pactl pair  {ours / pair:.2f}x (goal <= 1x)")
EOF
