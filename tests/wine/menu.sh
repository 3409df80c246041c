#!/usr/bin/env bash
# The task menu of vexo's desktop build under Wine, in the stand-in shell: opened from the
# button by the hot key, it lists the shell's programs in z-order and the commands in order
# (read from the texts vexo draws, which its log records at level 7), its owner-drawn items are
# measured before they are drawn, and a command chosen with the keys reaches vexo.
#
#   tests/wine/menu.sh [VEXO_EXE]     default $VEXO_EXE, else the win32 build's vexo.exe
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
vexo=${1:-${VEXO_EXE:-$repo/build/win32/tools/vexo.exe}}

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly VK_HOT=0xC1 MOD_WIN=0x8
readonly WM_KEYDOWN=0x0100 WM_HOTKEY=0x0312 VK_RETURN=0x0D VK_UP=0x26 VK_DOWN=0x28
readonly MENU_CLASS='#32768'

import_settings() {
  cat >"$work/settings.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]
"TLHWKey"=dword:000000c1
"AltTab"=dword:00000000
"LogLevel"=dword:00000007
"LogFile"="C:\\\\vexo.log"

EOF
  log_file="$WINEPREFIX/drive_c/vexo.log"
  wine_run 60 regedit /S "$(winpath "$work/settings.reg")" >/dev/null 2>&1
}

shell_pid=""
vexo_pid=""
start_session() {
  rm -f "$work/ready"
  launch shell_pid 300 "$shell_exe" --ready "$(winpath "$work/ready")" --seconds 280 \
    --program close=Alpha --program close=Beta
  wait_file "$work/ready" 30 || return 1
  # Beta in front of Alpha, whatever order the shell showed them in.
  probe foreground StandinProgram:Alpha >/dev/null && probe foreground StandinProgram:Beta >/dev/null ||
    return 1
  launch vexo_pid 300 "$vexo"
  probe wait HHTaskBar/VexoClass 30 >/dev/null
}

stop_session() {
  if kill -0 "$vexo_pid" 2>/dev/null; then
    close_and_wait "$vexo_pid" HHTaskBar/VexoClass
  fi
  close_and_wait "$shell_pid" HHTaskBar
}

# A press of the hot key, as the system reports it to the window that registered it.
open_menu() {
  # vexo keeps writing at its own offset: the file starts with zeros after this, so it is read
  # as text (grep -a).
  : >"$log_file"
  probe post HHTaskBar/VexoClass $WM_HOTKEY 0 $(((VK_HOT << 16) | MOD_WIN)) >/dev/null
  probe wait "$MENU_CLASS" 10 >/dev/null
}

key() { probe post "$MENU_CLASS" $WM_KEYDOWN "$1" 0 >/dev/null; }

# The texts vexo drew, in order, from its log (once the menu's first full paint is done).
drawn_texts() {
  local previous="" now
  for _ in $(seq 50); do
    now=$(sed -n "s/^.\{8\} - DrawTextEndEllipsis(, '\(.*\)', [0-9]*, ,)$/\1/p" "$log_file")
    [ -n "$now" ] && [ "$now" == "$previous" ] && break
    previous=$now
    sleep 0.2
  done
  echo "$now" | paste -sd '|'
}

check_menu_lists_programs_and_commands() {
  open_menu || { why="no menu window after the hot key"; return 1; }
  expect "texts drawn, top to bottom" \
    "Desktop|Beta|Alpha|&Minimize|Close &Background Tasks|Close &All Tasks|&Settings...|E&xit" \
    "$(drawn_texts)"
}

check_items_measured_before_drawn() {
  local first_draw measures
  first_draw=$(grep -an 'OnDrawItem()' "$log_file" | head -n 1 | cut -d: -f1)
  [ -n "$first_draw" ] || { why="no OnDrawItem() in the log"; return 1; }
  measures=$(head -n "$first_draw" "$log_file" | grep -ac 'OnMeasureItem()')
  # Desktop, two tasks, a line, three task operations, a line, settings and exit.
  expect "OnMeasureItem() lines before the first OnDrawItem()" 10 "$measures"
}

check_keys_choose_a_task() {
  # Down to Desktop, Beta, Alpha: the program behind comes to the front.
  key $VK_DOWN && key $VK_DOWN && key $VK_DOWN && key $VK_RETURN
  probe wait-gone "$MENU_CLASS" 5 >/dev/null || { why="the menu is still open"; return 1; }
  local front=""
  for _ in $(seq 30); do
    front=$(field title "$(probe front)")
    [ "$front" == Alpha ] && break
    sleep 0.1
  done
  expect "the program in front" Alpha "$front"
}

check_keys_choose_exit() {
  open_menu || { why="no menu window after the hot key"; return 1; }
  # Up from no selection reaches the last item.
  key $VK_UP && key $VK_RETURN
  wait_exit "$vexo_pid" 15 || { why="vexo still runs 15 s after E&xit"; return 1; }
  expect "vexo's exit code" 0 "$exit_status" || return 1
  grep -aq 'OnCommand()' "$log_file" || { why="no OnCommand() in the log"; return 1; }
}

run_checks() {
  if [ ! -f "$vexo" ]; then
    fail_setup vexo "no program at $vexo"
    return
  fi
  import_settings || fail_setup settings "regedit could not import the settings"
  if ! start_session; then
    fail_setup session "the shell or vexo did not start"
    stop_session
    return
  fi
  check menu.lists-programs-and-commands check_menu_lists_programs_and_commands
  check menu.items-measured-before-drawn check_items_measured_before_drawn
  check menu.keys-choose-a-task check_keys_choose_a_task
  check menu.keys-choose-exit check_keys_choose_exit
  stop_session
}

start_watchdog "${MENU_TIMEOUT:-400}"
tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
  { fail_setup build "the shell or the probe did not build"; finish; exit; }
shell_exe=$tools/standin-shell.exe
probe_exe=$tools/probe.exe
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed: $(tail -n 3 "$work/wineboot.log")"; finish; exit; }
run_checks
finish
