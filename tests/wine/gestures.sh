#!/usr/bin/env bash
# vexo's button under Wine, driven by real input (SendInput through the probe) in the stand-in
# Pocket PC shell: the downward gesture minimises the program in front, an exception for the
# program turns the tap into a minimise, the hot key's release reaches the program, Settings
# starts VexoCfg.exe from the installation folder, and Exit ends vexo with 0.
#
#   tests/wine/gestures.sh [--closing] [VEXO_EXE]
#
# --closing adds the check that a tap closes the program in front, which needs the closing of
# tasks in the program.
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
closing=0
vexo=${VEXO_EXE:-$repo/build/win32/tools/vexo.exe}
for arg in "$@"; do
  case "$arg" in
  --closing) closing=1 ;;
  -*) echo "usage: $0 [--closing] [VEXO_EXE]" >&2; exit 2 ;;
  *) vexo=$arg ;;
  esac
done

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly READ_CONFIG=Holmvest::Vexo::Messages::ReadConfig
readonly SETTINGS_KEY='HKCU\Software\Holmvest\Vexo'
readonly VK_APP1=0xC1
readonly WS_MINIMIZE=0x20000000
readonly CMD_SETTINGS=40004 CMD_EXIT=40007
# The button at 96 dpi: 28 x 22 pixels at the right end of the taskbar (0, 0, 240, 26).
readonly BUTTON_X=226 BUTTON_Y=13

shell_pid=""
vexo_pid=""
log_file=""
started_file=""

start_shell() {  # start_shell [SHELL OPTIONS...]
  rm -f "$work/ready" "$work/record"
  launch shell_pid 150 "$shell_exe" --ready "$(winpath "$work/ready")" \
    --record "$(winpath "$work/record")" --seconds 140 "$@"
  wait_file "$work/ready" 30
}

stop_shell() { close_and_wait "$shell_pid" HHTaskBar; }

import_settings() {
  cat >"$work/settings.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]
"TLHWKey"=dword:000000c1
"LogLevel"=dword:00000005
"LogFile"="C:\\\\vexo.log"
"InstallDir"="C:\\\\vexoinst"

EOF
  log_file="$WINEPREFIX/drive_c/vexo.log"
  wine_run 60 regedit /S "$(winpath "$work/settings.reg")" >/dev/null 2>&1
}

start_vexo() {
  started_file="$WINEPREFIX/drive_c/started.txt"
  rm -f "$started_file"
  # The settings program vexo starts inherits this and says how it was started.
  VEXO_PROBE_STARTED='C:\started.txt' launch vexo_pid 150 "$vexo"
  probe wait HHTaskBar/VexoClass 30 >/dev/null
}

stop_vexo() {
  kill -0 "$vexo_pid" 2>/dev/null || return 0
  close_and_wait "$vexo_pid" HHTaskBar/VexoClass
}

read_config() { probe send HHTaskBar/VexoClass "$READ_CONFIG" >/dev/null; }

# log_count TEXT: how many messages of vexo's log begin with TEXT.
log_count() { grep -cF -- " - $1" "$log_file" 2>/dev/null || true; }

# wait_log TEXT COUNT SECONDS: until the log holds COUNT lines with TEXT.
wait_log() {
  local deadline=$(($(now_ms) + $3 * 1000))
  while [ "$(log_count "$1")" -lt "$2" ]; do
    [ "$(now_ms)" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

style_of() { field style "$(probe info "StandinProgram:$1")"; }
minimised() { [ $(($(style_of "$1") & WS_MINIMIZE)) -ne 0 ]; }

# got_close TITLE: whether the program's record shows a WM_CLOSE, however delivered.
got_close() { grep -qP "^\Q$1\E\t\w+\t0x0010\t" "$work/record" 2>/dev/null; }

bring_to_front() { probe foreground "StandinProgram:$1" >/dev/null; }

check_gesture_minimises() {
  bring_to_front First || { why="First would not come to the front"; return 1; }
  probe drag $BUTTON_X $BUTTON_Y $BUTTON_X 60 80 >/dev/null
  wait_log "DoAction(2, " 1 5 || { why="no DoAction(2, ...) in the log"; return 1; }
  sleep 0.5
  minimised First || { why="First is not minimised (style $(style_of First))"; return 1; }
  ! got_close First || { why="First was sent WM_CLOSE"; return 1; }
}

# The exception names the stand-in shell's executable, whose threads run the programs, in
# capitals: the match ignores case.
check_exception_changes_tap() {
  local exe
  exe=$(winpath "$shell_exe" | tr '[:lower:]' '[:upper:]')
  if ! wine_run 60 reg add "$SETTINGS_KEY\\Exceptions\\Shell" /v ExeName /d "$exe" /f \
    >/dev/null 2>&1 || ! wine_run 60 reg add "$SETTINGS_KEY\\Exceptions\\Shell" /v TapAction \
    /t REG_DWORD /d 1 /f >/dev/null 2>&1; then
    why="reg add failed"
    return 1
  fi
  read_config
  bring_to_front Second || { why="Second would not come to the front"; return 1; }
  probe tap $BUTTON_X $BUTTON_Y 50 >/dev/null
  wait_log "DoAction(0, " 1 5 || { why="no DoAction(0, ...) in the log"; return 1; }
  sleep 0.5
  minimised Second || { why="Second is not minimised (style $(style_of Second))"; return 1; }
  ! got_close Second || { why="Second was sent WM_CLOSE"; return 1; }
}

# A short press: the desktop reports the press, the stand-in the release, and the release
# refreshes the task list instead of waiting for the long press.
check_hot_key_short_press() {
  local before
  before=$(log_count "VexoEnumWindowsProc(")
  probe key $VK_APP1 100 >/dev/null
  # lParam: MOD_WIN with the key, then MOD_WIN | MOD_KEYUP with the key.
  wait_log "OnHotKey(" 2 5 || { why="$(log_count "OnHotKey(") OnHotKey lines, expected 2"; return 1; }
  expect "presses" 1 "$(grep -c "OnHotKey(.*, 0, $((0xC10008)))" "$log_file")" &&
    expect "releases" 1 "$(grep -c "OnHotKey(.*, 0, $((0xC11008)))" "$log_file")" || return 1
  sleep 1.5
  [ "$(log_count "VexoEnumWindowsProc(")" -gt "$before" ] || { why="no refresh of the task list"; return 1; }
  expect "task menus after a short press" 0 "$(log_count "ShowTaskMenu()")"
}

check_hot_key_long_press() {
  probe key $VK_APP1 1000 >/dev/null
  wait_log "OnHotKey(" 4 5 || { why="the press and release were not both reported"; return 1; }
  expect "task menus after a long press" 1 "$(log_count "ShowTaskMenu()")" || return 1
  # The next press closes the menu again, so that the checks after this one meet no menu.
  probe key $VK_APP1 50 >/dev/null
  wait_log "OnHotKey(" 6 5 || { why="the press that closes the menu was not reported"; return 1; }
}

check_settings_starts_vexocfg() {
  mkdir -p "$WINEPREFIX/drive_c/vexoinst"
  cp "$probe_exe" "$WINEPREFIX/drive_c/vexoinst/VexoCfg.exe"
  probe post HHTaskBar/VexoClass WM_COMMAND $CMD_SETTINGS >/dev/null
  wait_file "$started_file" 10 || { why="VexoCfg.exe did not start"; return 1; }
  expect "its command line" '"C:\vexoinst\VexoCfg.exe"' "$(tr -d '\r\n' <"$started_file")"
}

check_exit_ends_with_0() {
  probe post HHTaskBar/VexoClass WM_COMMAND $CMD_EXIT >/dev/null
  wait_exit "$vexo_pid" 15 || { why="still running 15 s after Exit"; return 1; }
  expect "exit code" 0 "$exit_status" &&
    expect "OnDestroy() lines (Exit ends the loop with the window still there)" 0 \
      "$(log_count "OnDestroy()")"
}

check_tap_closes() {
  bring_to_front Third || { why="Third would not come to the front"; return 1; }
  probe tap $BUTTON_X $BUTTON_Y 50 >/dev/null
  probe wait-gone "StandinProgram:Third" 10 >/dev/null || { why="Third is still open"; return 1; }
  got_close Third || { why="no WM_CLOSE in Third's record"; return 1; }
}

run_checks() {
  [ -f "$vexo" ] || { fail_setup vexo "no program at $vexo"; return; }
  import_settings || { fail_setup settings "regedit could not import the settings"; return; }
  start_shell --program close=First --program close=Second --program close=Third ||
    { fail_setup shell "the shell did not start"; return; }
  if start_vexo; then
    # The tap goes first: the exception check turns taps into minimising.
    [ "$closing" -eq 1 ] && check gestures.tap-closes check_tap_closes
    check gestures.gesture-minimises check_gesture_minimises
    check gestures.exception-changes-tap check_exception_changes_tap
    check gestures.hot-key-short-press check_hot_key_short_press
    check gestures.hot-key-long-press check_hot_key_long_press
    check gestures.settings-starts-vexocfg check_settings_starts_vexocfg
    check gestures.exit-ends-with-0 check_exit_ends_with_0
  else
    fail_setup vexo.start "no button under the taskbar 30 s after the start"
  fi
  stop_vexo
  stop_shell
  # What vexo saw, for the reader of a failed run.
  [ "$failed" -eq 0 ] || {
    echo "---- vexo's log"
    grep -Ev 'OnTimer\(3\)|GetCloseButtonType|VexoEnumWindowsProc' "$log_file" | tail -n 80
  }
}

start_watchdog "${GESTURES_TIMEOUT:-600}"
shell_exe=${STANDIN_SHELL_EXE:-}
probe_exe=${PROBE_EXE:-}
if [ -z "$shell_exe" ] || [ -z "$probe_exe" ]; then
  tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
    { fail_setup build "the shell or the probe did not build"; finish; exit; }
  shell_exe=${shell_exe:-$tools/standin-shell.exe}
  probe_exe=${probe_exe:-$tools/probe.exe}
fi
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed: $(tail -n 3 "$work/wineboot.log")"; finish; exit; }
run_checks
finish
