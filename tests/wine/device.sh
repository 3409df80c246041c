#!/usr/bin/env bash
# vexo's device commands on a desktop under Wine, where a real Win32 answers what it can: the
# soft-reset question is Wine's own message box, answered No by a click of its button; without
# the question the reset is attempted at once and refused by the desktop; the radios switch
# through the stand-ins and through the other Bluetooth stack's tray window in another process;
# the orientation is recorded in the registry; the power key never reaches the window in front.
#
#   tests/wine/device.sh [DEVICE_CHECK_EXE]   default: the win32 build's device_check.exe
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
check_exe=${1:-$repo/build/win32/platform/win32/device_check.exe}

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly SETTINGS_KEY='HKCU\Software\Holmvest\Vexo'
readonly WIDCOMM_KEY='HKLM\SOFTWARE\WIDCOMM\BtConfig\General'
readonly ROTATION_KEY='HKLM\System\GDI\Rotation'
readonly BOX='#32770:Vexo'
readonly BM_CLICK=0x00F5

device_check() { wine_run 30 "$check_exe" "$@" 2>/dev/null | tr -d '\r'; }

reg_set() {  # reg_set KEY NAME TYPE DATA
  wine_run 60 reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1
}

# reg_dword KEY NAME: the value as reg prints it (0x...), or nothing.
reg_dword() {
  wine_run 60 reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $3 }'
}

log_file=""
question_pid=""
ask() {
  log_file="$WINEPREFIX/drive_c/device.log"
  rm -f "$log_file"
  launch question_pid 60 "$check_exe" question 'C:\device.log'
}

check_question_answered_no() {
  reg_set "$SETTINGS_KEY" ConfirmSoftReset REG_DWORD 1
  ask
  probe wait "$BOX" 20 >/dev/null || { why="no message box captioned Vexo"; return 1; }
  probe info "$BOX/Static:Are you sure to soft-reset the device?" >/dev/null ||
    { why="the box does not ask the question"; return 1; }
  local answer
  for answer in '&Yes' '&No'; do
    probe info "$BOX/Button:$answer" >/dev/null || { why="the box has no $answer button"; return 1; }
  done
  expect "the question while it is open" running \
    "$(kill -0 "$question_pid" 2>/dev/null && echo running)" || return 1
  probe send "$BOX/Button:&No" $BM_CLICK >/dev/null || { why="No could not be clicked"; return 1; }
  wait_exit "$question_pid" 15 || { why="still asking 15 s after No"; return 1; }
  expect "box after No" "not found" "$(probe info "$BOX")" || return 1
  if grep -q 'ResetPocketPC()' "$log_file"; then
    why="a reset after No: $(cat "$log_file")"
    return 1
  fi
}

check_reset_without_question() {
  reg_set "$SETTINGS_KEY" ConfirmSoftReset REG_DWORD 0
  ask
  wait_exit "$question_pid" 15 || { why="still running: a question was asked"; return 1; }
  expect "reset attempts in the log" 1 "$(grep -c 'ResetPocketPC()' "$log_file")"
}

check_radios_through_the_stand_ins() {
  reg_set "$SETTINGS_KEY" WiFiDevice REG_SZ TIACXWLN1
  local out
  out=$(device_check radios)
  expect "WiFi device name" '{98C5250D-C29A-4985-AE5F-AFE5367E5006}\TIACXWLN1' \
    "$(field wifi-name "$out")" &&
    expect "WiFi before, after" "1 0" "$(field wifi-before "$out") $(field wifi-after "$out")" &&
    expect "Bluetooth before, after, again" "0 1 0" \
      "$(field bluetooth-before "$out") $(field bluetooth-after "$out") $(field bluetooth-again "$out")"
}

tray_pid=""
tray_record=""
start_tray() {
  tray_record="$work/tray.txt"
  rm -f "$tray_record"
  launch tray_pid 120 "$check_exe" tray "$(winpath "$tray_record")"
  probe wait 'WCE_BTTRAY:Bluetooth Console' 20 >/dev/null
}

check_other_stack_through_its_tray() {
  start_tray || { why="the tray window did not appear"; return 1; }
  reg_set "$WIDCOMM_KEY" StackMode REG_DWORD 0
  expect "switching while off" 0 "$(field bluetooth-was "$(device_check bluetooth)")" || return 1
  reg_set "$WIDCOMM_KEY" StackMode REG_DWORD 1
  expect "switching while on" 1 "$(field bluetooth-was "$(device_check bluetooth)")" || return 1
  sleep 0.5
  expect "commands the tray received" "0x1002 0x1001" "$(tr -d '\r' <"$tray_record" | tr '\n' ' ' | sed 's/ $//')" ||
    return 1
  probe send 'WCE_BTTRAY:Bluetooth Console' WM_CLOSE >/dev/null
  wait_exit "$tray_pid" 10 || { why="the tray did not end"; return 1; }
  # Without the tray nothing is switched, and the device's own stack is left alone.
  expect "switching without the tray" 1 "$(field bluetooth-was "$(device_check bluetooth)")" &&
    expect "StackMode after" 0x1 "$(reg_dword "$WIDCOMM_KEY" StackMode)"
}

check_orientation_record() {
  wine_run 60 reg delete "$WIDCOMM_KEY" /f >/dev/null 2>&1
  local out
  out=$(device_check orientation)
  expect "orientations: start, Landscape Left, Landscape Right, unknown" "0 4 1 1" \
    "$(field start "$out") $(field left "$out") $(field right "$out") $(field unknown "$out")" &&
    expect "Angle after the unknown value" 0x0 "$(reg_dword "$ROTATION_KEY" Angle)"
}

check_power_key_not_typed() {
  local out
  out=$(device_check power-off)
  expect "keys from PowerOff" 0 "$(field power-off-keys "$out")" || return 1
  [ "$(field control-keys "$out")" -gt 0 ] 2>/dev/null ||
    { why="an ordinary key did not arrive either ($(field control-keys "$out")): the check sees nothing"; return 1; }
}

# ---- the run ---------------------------------------------------------------------------------

start_watchdog "${DEVICE_CHECK_TIMEOUT:-600}"
[ -f "$check_exe" ] || { fail_setup build "no $check_exe"; finish; exit; }
tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
  { fail_setup build "the probe did not build"; finish; exit; }
probe_exe=$tools/probe.exe
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed: $(tail -n 3 "$work/wineboot.log")"; finish; exit; }

check device.question-answered-no check_question_answered_no
check device.reset-without-question check_reset_without_question
check device.radios-through-the-stand-ins check_radios_through_the_stand_ins
check device.other-stack-through-its-tray check_other_stack_through_its_tray
check device.orientation-record check_orientation_record
check device.power-key-not-typed check_power_key_not_typed
finish
