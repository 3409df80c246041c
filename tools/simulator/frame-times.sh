#!/usr/bin/env bash
# Measures the simulator window's frame times on a private X server (at 96 DPI, scale 2): SECONDS
# of an idle device, SECONDS of the stylus dragged without pause from vexo's button down and back
# over a full-screen program, and SECONDS of it dragged up and down the open task menu, whose
# selection follows it. Prints the app's --frame-stats of each.
#
#   tools/simulator/frame-times.sh [VEXO_SIM] [SECONDS] [APP OPTIONS...]
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
sim=${1:-$repo/build/sim/tools/vexo-sim}
seconds=${2:-60}
shift 2 2>/dev/null || shift $#
work=$(mktemp -d "${TMPDIR:-/tmp}/vexo-frames.XXXXXX")
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"

# run NAME DRIVER: the app with its stats, DRIVER playing the hand for SECONDS, then a close.
run() {
  "$sim" --frame-stats --out "$work" "$@" >"$work/app.log" 2>&1 &
  local app=$!
  local window
  window=$(timeout 15 xdotool search --sync --name '^vexo on a simulated Pocket PC$' | head -n 1)
  xdotool windowfocus --sync "$window"
  "$driver" "$window"
  kill -TERM "$app" # SDL turns it into the window's close
  wait "$app" || true
  grep -v '^started' "$work/app.log"
}

idle() { sleep "$seconds"; }

# Down 80 device pixels from the button and back up, a step every 10 ms, the stylus down all
# along.
drag() {
  local window=$1 steps=$((seconds * 100)) i args=()
  xdotool key 2 # a full-screen program under the stylus's path
  sleep 1
  read -r x y < <(xdotool getwindowgeometry "$window" |
    sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
  for ((i = 0; i < steps; i++)); do
    args+=(mousemove $((x + 452 - 4 + i % 8)) $((y + 26 + 4 * (i % 40))) sleep 0.01)
  done
  xdotool mousemove --window "$window" 452 26 mousedown 1
  xdotool "${args[@]}"
  xdotool mouseup 1
}

# The menu opened by a hold on the button, then the stylus down on it, up and down its items.
drag_menu() {
  local window=$1 steps=$((seconds * 100)) i args=()
  xdotool key 2
  sleep 1
  read -r x y < <(xdotool getwindowgeometry "$window" |
    sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
  xdotool mousemove --window "$window" 452 26 mousedown 1 sleep 1.2 mouseup 1 sleep 0.3
  for ((i = 0; i < steps; i++)); do
    args+=(mousemove $((x + 300)) $((y + 80 + 3 * (i % 96))) sleep 0.01)
  done
  xdotool mousemove $((x + 300)) $((y + 80)) mousedown 1
  xdotool "${args[@]}"
  xdotool mousemove $((x + 20)) $((y + 620)) mouseup 1
}

echo "idle for $seconds s:"
driver=idle run "$@"
echo "dragging for $seconds s:"
driver=drag run "$@"
echo "dragging over the task menu for $seconds s:"
driver=drag_menu run "$@"
