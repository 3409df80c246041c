#!/usr/bin/env bash
# The simulator app's window on a display of its own, driven with real X input: a key starts a
# dialog with an OK button in its caption, a click on vexo's button closes it, the screenshots
# show the device as a headless session of the same steps shows it, and closing the window ends
# the app and vexo with it.
#
#   tests/simulator/window.sh VEXO_SIM X_CLOSE_WINDOW
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
sim=$1
close_window=$2

# The private X server, the work folder and the tally are the Wine checks' own.
# shellcheck source=../wine/harness.sh
. "$here/../wine/harness.sh"

readonly SCALE=2
# The middle of vexo's button at 96 DPI: the taskbar's right 28 of 240 pixels, 26 high.
readonly BUTTON_X=226 BUTTON_Y=13

app_log="$work/app.log"
app_pid=""
window=""

# wait_line PATTERN SECONDS: until the app's output has a line matching PATTERN.
wait_line() {
  local deadline=$(($(now_ms) + $2 * 1000))
  until grep -qE "$1" "$app_log" 2>/dev/null; do
    [ "$(now_ms)" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

# The device of the same steps, played headless: what the window's screenshots must show.
references() {
  printf 'start ok\nwait 1000\nshot ok\n' >"$work/ok.session"
  printf 'wait 1000\nshot desktop\n' >"$work/desktop.session"
  timeout 30 "$sim" --headless --script "$work/ok.session" --out "$work/ref" >/dev/null &&
    timeout 30 "$sim" --headless --script "$work/desktop.session" --out "$work/ref" >/dev/null
}

open_window() {
  timeout -k 5 60 "$sim" --scale "$SCALE" --out "$work/shots" >"$app_log" 2>&1 &
  app_pid=$!
  background_pids+=("$app_pid")
  window=$(timeout 15 xdotool search --sync --name '^vexo on a simulated Pocket PC$' | head -n 1)
  [ -n "$window" ] || {
    why="no window appeared: $(cat "$app_log")"
    return 1
  }
  xdotool windowfocus --sync "$window" || {
    why="the window took no focus"
    return 1
  }
}

# screenshot NAME: the S key, and the path the app names in $shot.
shot=""
screenshot() {
  local before
  before=$(grep -c '^screenshot: ' "$app_log")
  xdotool key s
  wait_line "^screenshot: " 5 || return 1
  for _ in $(seq 50); do
    [ "$(grep -c '^screenshot: ' "$app_log")" -gt "$before" ] && break
    sleep 0.1
  done
  shot=$(grep '^screenshot: ' "$app_log" | tail -n 1 | sed 's/^screenshot: //')
  [ -s "$shot" ] || {
    why="no screenshot after the S key"
    return 1
  }
  cp "$shot" "$work/$1.png"
}

# shows_like NAME REFERENCE: a screenshot NAME that matches the headless REFERENCE, taken again
# for a few seconds while the device catches up (a loaded host slows the window's clock).
shows_like() {
  for _ in $(seq 5); do
    screenshot "$1" || return 1
    cmp -s "$work/$1.png" "$work/ref/$2.png" && return 0
    sleep 1
  done
  why="$1.png differs from the headless $2.png"
  return 1
}

a_key_starts_the_dialog() {
  xdotool key 1
  wait_line '^started ok$' 5 || {
    why="no 'started ok' after the 1 key"
    return 1
  }
  # The button follows the program in front within the half second of its watch timer.
  sleep 1
  shows_like ok-in-window ok
}

a_click_on_the_button_closes_it() {
  xdotool mousemove --window "$window" $((BUTTON_X * SCALE)) $((BUTTON_Y * SCALE)) click 1
  wait_line '^closed ok$' 5 || {
    why="the dialog did not close: $(tr '\n' '|' <"$app_log")"
    return 1
  }
  sleep 1
  shows_like after-click desktop
}

closing_the_window_ends_the_app() {
  "$close_window" "$window" || {
    why="the close request was not sent"
    return 1
  }
  wait_exit "$app_pid" 10 || {
    why="the app still runs 10 s after its window was closed"
    return 1
  }
  expect "the app's exit status" 0 "$exit_status" || return 1
  grep -q '^vexo ended with exit code 0$' "$app_log" || {
    why="vexo did not end with the app: $(tr '\n' '|' <"$app_log")"
    return 1
  }
  [ -z "$(xdotool search --name '^vexo on a simulated' 2>/dev/null)" ] || {
    why="a window of the app is still on the display"
    return 1
  }
}

start_watchdog 100
start_xvfb || {
  fail_setup xvfb "no X server: $(cat "$work/xvfb.log")"
  finish
  exit 1
}
references || {
  fail_setup references "the headless session failed"
  finish
  exit 1
}
check "the app opens its window" open_window || {
  finish
  exit 1
}
check "a key starts the dialog, and the window shows the device" a_key_starts_the_dialog
check "a click on vexo's button closes the dialog" a_click_on_the_button_closes_it
check "closing the window ends the app and vexo, leaving nothing running" \
  closing_the_window_ends_the_app
finish
