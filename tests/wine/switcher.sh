#!/usr/bin/env bash
# vexo's Alt-Tab switcher under Wine, in the stand-in shell, driven by the real hot key (the
# Windows key held with it, through SendInput): a short press opens "VexoTaskWndClass" where
# the design puts it, two rows inside its frame; the pause after it brings the second program
# to the front; a press while it is open moves the selection back to the first, and the key
# returns to the button each time.
#
#   tests/wine/switcher.sh [VEXO_EXE]     default $VEXO_EXE, else the win32 build's vexo.exe
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
vexo=${1:-${VEXO_EXE:-$repo/build/win32/tools/vexo.exe}}

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly VK_APP1=0xC1
readonly SWITCHER=VexoTaskWndClass:VexoTaskWnd
readonly WS_POPUP_VISIBLE_BORDER=0x90800000 WS_EX_DLGMODALFRAME=0x1
# Long enough for a second press by the probe, a program of its own, to arrive in time.
readonly TIMEOUT_MS=4000

shell_pid=""
vexo_pid=""
log_file=""

import_settings() {
  cat >"$work/settings.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]
"TLHWKey"=dword:000000c1
"AltTab"=dword:00000001
"AltTabTimeout"=dword:$(printf %08x $TIMEOUT_MS)
"LogLevel"=dword:00000003
"LogFile"="C:\\\\vexo.log"

REG
  log_file="$WINEPREFIX/drive_c/vexo.log"
  wine_run 60 regedit /S "$(winpath "$work/settings.reg")" >/dev/null 2>&1
}

start_session() {
  rm -f "$work/ready"
  # Started in this order, Beta ends up in front of Alpha.
  launch shell_pid 300 "$shell_exe" --ready "$(winpath "$work/ready")" --seconds 280 \
    --program close=Alpha --program close=Beta
  wait_file "$work/ready" 30 || return 1
  launch vexo_pid 300 "$vexo"
  probe wait HHTaskBar/VexoClass 30 >/dev/null
}

stop_session() {
  if kill -0 "$vexo_pid" 2>/dev/null; then
    close_and_wait "$vexo_pid" HHTaskBar/VexoClass
  fi
  close_and_wait "$shell_pid" HHTaskBar
}

front_title() { field title "$(probe front)"; }

# wait_front TITLE SECONDS: until TITLE's window is in front.
wait_front() {
  local deadline=$(($(now_ms) + $2 * 1000))
  until [ "$(front_title)" == "$1" ]; do
    [ "$(now_ms)" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

open_switcher() {
  probe key $VK_APP1 100 >/dev/null
  probe wait "$SWITCHER" 5 >/dev/null
}

# The button hears the key again: its press and release log OnHotKey lines there, and the
# release opens the switcher once more, which is left to close by itself.
key_back_at_button() {
  local before
  before=$(grep -c 'OnHotKey(' "$log_file")
  open_switcher || { why="no $SWITCHER window after a further short press"; return 1; }
  expect "OnHotKey lines for a press and its release at the button" $((before + 2)) \
    "$(grep -c 'OnHotKey(' "$log_file")" || return 1
  probe wait-gone "$SWITCHER" 10 >/dev/null || { why="still open 10 s on"; return 1; }
}

check_short_press_opens_the_switcher() {
  probe foreground StandinProgram:Beta >/dev/null || { why="Beta would not come to the front"; return 1; }
  local opened=$(($(now_ms)))
  open_switcher || { why="no $SWITCHER window after a short press"; return 1; }
  local info screen_width rect client
  info=$(probe info "$SWITCHER")
  screen_width=$(probe screen | cut -d' ' -f1)
  read -r -a rect <<<"$(field rect "$info")"
  read -r -a client <<<"$(field client "$info")"
  expect "style" $((WS_POPUP_VISIBLE_BORDER)) $(($(field style "$info") & WS_POPUP_VISIBLE_BORDER)) &&
    expect "modal frame" 1 $(($(field exstyle "$info") & WS_EX_DLGMODALFRAME)) &&
    expect "left, top" "20 40" "${rect[0]} ${rect[1]}" &&
    expect "right" $((screen_width - 20)) "${rect[2]}" &&
    expect "client height (two rows)" 40 $((client[3] - client[1])) &&
    expect "frame above (as the simulated device draws it at 96 dpi)" 3 $((client[1] - rect[1])) &&
    expect "frame below" 3 $((rect[3] - client[3])) || return 1
  # Open for the whole pause, and not much longer.
  sleep $(((TIMEOUT_MS - 1500) / 1000))
  [ "$(($(now_ms) - opened))" -lt $TIMEOUT_MS ] && {
    probe info "$SWITCHER" >/dev/null || { why="closed before its time-out"; return 1; }
  }
  true
}

check_timeout_brings_the_second_to_front() {
  probe wait-gone "$SWITCHER" 10 >/dev/null || { why="still open 10 s on"; return 1; }
  wait_front Alpha 5 || { why="in front: '$(front_title)', expected Alpha"; return 1; }
  key_back_at_button
}

check_a_press_moves_the_selection() {
  # Entry 1 is the program behind; one press more selects entry 0, the one in front, again.
  local front
  front=$(front_title)
  open_switcher || { why="no $SWITCHER window after a short press"; return 1; }
  probe key $VK_APP1 100 >/dev/null
  probe wait-gone "$SWITCHER" 10 >/dev/null || { why="still open 10 s on"; return 1; }
  expect "presses the switcher heard" 1 "$(grep -c 'OnSwitcherHotKey(' "$log_file")" || return 1
  sleep 0.5
  expect "in front" "$front" "$(front_title)" || return 1
  key_back_at_button
}

run_checks() {
  [ -f "$vexo" ] || { fail_setup vexo "no program at $vexo"; return; }
  import_settings || { fail_setup settings "regedit could not import the settings"; return; }
  if ! start_session; then
    fail_setup session "the shell or vexo did not start"
    stop_session
    return
  fi
  check switcher.short-press-opens check_short_press_opens_the_switcher
  check switcher.time-out-brings-the-second-to-front check_timeout_brings_the_second_to_front
  check switcher.a-press-moves-the-selection check_a_press_moves_the_selection
  stop_session
  [ "$failed" -eq 0 ] || { echo "---- vexo's log"; tail -n 40 "$log_file"; }
}

start_watchdog "${SWITCHER_TIMEOUT:-400}"
tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
  { fail_setup build "the shell or the probe did not build"; finish; exit; }
shell_exe=$tools/standin-shell.exe
probe_exe=$tools/probe.exe
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed: $(tail -n 3 "$work/wineboot.log")"; finish; exit; }
run_checks
finish
