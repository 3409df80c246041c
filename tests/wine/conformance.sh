#!/usr/bin/env bash
# vexo's desktop build under Wine, in a stand-in Pocket PC shell, checked from outside the way
# the setup library and the settings program meet it: one instance, the button's place in the
# taskbar, settings from the registry, the reload message, the log and a clean exit.
#
#   tests/wine/conformance.sh [VEXO_EXE]     default $VEXO_EXE, else the win32 build's vexo.exe
#   tests/wine/conformance.sh --harness-only the stand-in shell and the probe alone
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
# Needs wine64, xvfb and mingw-w64 (the shell and the probe are built on the way).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
harness_only=0
vexo=${VEXO_EXE:-}
if [ -z "$vexo" ]; then
  for vexo in "$repo/build/win32/tools/vexo.exe" "$repo/build/win32/vexo.exe"; do
    [ -f "$vexo" ] && break
  done
fi
for arg in "$@"; do
  case "$arg" in
  --harness-only) harness_only=1 ;;
  -*) echo "usage: $0 [--harness-only] [VEXO_EXE]" >&2; exit 2 ;;
  *) vexo=$arg ;;
  esac
done

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly READ_CONFIG=Holmvest::Vexo::Messages::ReadConfig
readonly SETTINGS_KEY='HKCU\Software\Holmvest\Vexo'
readonly VK_START=0xC1 VK_MOVED=0xC2 VK_AGAIN=0xC3 VK_UNUSED=0xC6
readonly WS_CHILD_VISIBLE=0x50000000 WS_EX_TOPMOST=0x8 WS_CAPTION=0x00C00000
readonly WS_EX_CAPTIONOKBTN=0x80000000

# ---- the shell and the probe on their own --------------------------------------------------

shell_pid=""
start_shell() {  # start_shell [SHELL OPTIONS...]: returns once every window of the shell exists
  rm -f "$work/ready" "$work/record"
  launch shell_pid 150 "$shell_exe" --ready "$(winpath "$work/ready")" \
    --record "$(winpath "$work/record")" --seconds 120 "$@"
  wait_file "$work/ready" 30
}

stop_shell() { close_and_wait "$shell_pid" HHTaskBar; }

# rect_of TEXT: the four numbers of the rect= line of a probe answer.
rect_of() { field rect "$1"; }

# has_bits VALUE BITS
has_bits() { [ $(($1 & $2)) -eq $(($2)) ]; }

# recorded TITLE DELIVERY MESSAGE WPARAM LPARAM: whether the record holds that line.
recorded() {
  grep -qF "$(printf '%s\t%s\t%s\t%s\t%s\t' "$@")" "$work/record"
}

check_taskbar_and_desktop() {
  local dpi taskbar desktop l t r b
  dpi=$(probe dpi | cut -d' ' -f2)
  taskbar=$(probe info HHTaskBar) || { why="no HHTaskBar window"; return 1; }
  read -r l t r b <<<"$(rect_of "$taskbar")"
  # At the origin, as on the device, where its window rectangle is also its client area.
  expect "taskbar title" "" "$(field title "$taskbar")" &&
    expect "taskbar rect at $dpi dpi" "0 0 240 $(scale 26 "$dpi")" "$l $t $r $b" || return 1
  has_bits "$(field exstyle "$taskbar")" $WS_EX_TOPMOST || { why="taskbar not topmost"; return 1; }
  desktop=$(probe info DesktopExplorerWindow:Desktop) || { why="no desktop window"; return 1; }
  expect "desktop rect" "$l $b $r $((t + 320))" "$(rect_of "$desktop")"
}

check_close_button_program() {
  probe send "StandinProgram:Close Button" WM_CLOSE >/dev/null
  probe wait-gone "StandinProgram:Close Button" 5 >/dev/null || { why="still open"; return 1; }
  recorded "Close Button" sent 0x0010 0x0 0x0 || { why="no sent WM_CLOSE in the record"; return 1; }
}

check_ignore_close_program() {
  probe post "StandinProgram:Ignores Close" WM_CLOSE >/dev/null

  for _ in $(seq 50); do
    recorded "Ignores Close" posted 0x0010 0x0 0x0 && break
    sleep 0.1
  done
  recorded "Ignores Close" posted 0x0010 0x0 0x0 || { why="no posted WM_CLOSE in the record"; return 1; }
  expect "a second after WM_CLOSE" "still there" "$(probe wait-gone "StandinProgram:Ignores Close" 1)"
}

check_caption_ok_program() {
  local info page
  info=$(probe info "StandinProgram:Caption OK") || { why="no window"; return 1; }
  has_bits "$(field exstyle "$info")" $WS_EX_CAPTIONOKBTN || { why="no caption OK style"; return 1; }
  has_bits "$(field style "$info")" $WS_CAPTION || { why="no caption"; return 1; }
  page=$(field result "$(probe send "StandinProgram:Caption OK" PSM_GETCURRENTPAGEHWND)")
  expect "its answer to PSM_GETCURRENTPAGEHWND" 0x0 "$page" || return 1
  probe send "StandinProgram:Caption OK" WM_COMMAND 0x10000001 >/dev/null
  probe wait-gone "StandinProgram:Caption OK" 5 >/dev/null || { why="IDOK did not close it"; return 1; }
  recorded "Caption OK" sent 0x0111 0x10000001 0x0 || { why="no sent IDOK in the record"; return 1; }
}

check_property_sheet_program() {
  local page child
  page=$(field result "$(probe send "StandinProgram:Property Sheet" PSM_GETCURRENTPAGEHWND)")
  child=$(field hwnd "$(probe info "StandinProgram:Property Sheet/StandinPage")")
  [ -n "$child" ] || { why="no page window"; return 1; }
  expect "its current page" "$child" "$page" || return 1
  probe post "StandinProgram:Property Sheet" PSM_PRESSBUTTON 3 >/dev/null
  probe wait-gone "StandinProgram:Property Sheet" 5 >/dev/null || { why="OK did not close it"; return 1; }
  recorded "Property Sheet" posted 0x0471 0x3 0x0 || { why="no posted PSM_PRESSBUTTON"; return 1; }
}

check_probe_sees_hot_key_holder() {
  local holder
  rm -f "$work/holder"
  timeout -k 5 30 "$wine" "$probe_exe" hold-hotkey 0xC5 6 >"$work/holder" 2>/dev/null &
  holder=$!
  background_pids+=("$holder")

  for _ in $(seq 100); do
    grep -q held "$work/holder" 2>/dev/null && break
    sleep 0.1
  done
  expect "0xC5 while another program holds it" taken "$(probe hotkey-free 0xC5)" &&
    expect "0xC6, which nobody holds" free "$(probe hotkey-free 0xC6)" || return 1
  wait_exit "$holder" 15 || { why="the holder did not end"; return 1; }
  expect "0xC5 after its holder ended" free "$(probe hotkey-free 0xC5)"
}

check_shell_lifetime() {
  start_shell || { why="shell did not start"; return 1; }
  probe send HHTaskBar WM_CLOSE >/dev/null
  wait_exit "$shell_pid" 10 || { why="WM_CLOSE to the taskbar did not end it"; return 1; }
  expect "exit code after WM_CLOSE" 0 "$exit_status" || return 1
  launch shell_pid 60 "$shell_exe" --seconds 1
  wait_exit "$shell_pid" 15 || { why="--seconds 1 did not end it"; return 1; }
  expect "exit code after the time-out" 2 "$exit_status"
}

run_harness_checks() {
  if start_shell; then
    check shell.taskbar-and-desktop check_taskbar_and_desktop
    stop_shell
  else
    fail_setup shell.taskbar-and-desktop "the shell did not start"
  fi
  if start_shell --program ok --program close --program propsheet --program ignore-close; then
    check shell.close-button-program check_close_button_program
    check shell.ignore-close-program check_ignore_close_program
    check shell.caption-ok-program check_caption_ok_program
    check shell.property-sheet-program check_property_sheet_program
    stop_shell
  else
    fail_setup shell.programs "the shell did not start with its programs"
  fi
  check probe.sees-hot-key-holder check_probe_sees_hot_key_holder
  check shell.lifetime check_shell_lifetime
}

# ---- vexo ------------------------------------------------------------------------------------

vexo_pid=""
log_file=""

import_settings() {
  cat >"$work/settings.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]
"TLHWKey"=dword:000000c1
"LogLevel"=dword:00000002
"LogFile"="C:\\\\vexo.log"

EOF
  log_file="$WINEPREFIX/drive_c/vexo.log"
  wine_run 60 regedit /S "$(winpath "$work/settings.reg")" >/dev/null 2>&1
}

set_setting() {  # set_setting NAME DWORD
  wine_run 60 reg add "$SETTINGS_KEY" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null 2>&1
}

start_vexo() {
  launch vexo_pid 120 "$vexo"
  probe wait HHTaskBar/VexoClass 30 >/dev/null
}

stop_vexo() {
  kill -0 "$vexo_pid" 2>/dev/null || return 0
  close_and_wait "$vexo_pid" HHTaskBar/VexoClass
}

# check_button_geometry DPI_EXPECTED: the button against the rule of the taskbar's rectangle.
check_button_geometry() {
  local dpix dpiy taskbar button l t r b sx28 sy2
  read -r dpix dpiy <<<"$(probe dpi)"
  [ -z "${1:-}" ] || expect "Wine's dpi" "$1 $1" "$dpix $dpiy" || return 1
  taskbar=$(probe info HHTaskBar)
  button=$(probe info HHTaskBar/VexoClass) || { why="no VexoClass child under HHTaskBar"; return 1; }
  read -r l t r b <<<"$(rect_of "$taskbar")"
  sx28=$(scale 28 "$dpix")
  sy2=$(scale 2 "$dpiy")
  expect "title" VexoWindow "$(field title "$button")" &&
    expect "parent" "$(field hwnd "$taskbar")" "$(field parent "$button")" &&
    expect "VexoClass windows under the taskbar" 1 "$(field count "$button")" &&
    expect "rect at $dpix x $dpiy dpi under the taskbar ($l $t $r $b)" \
      "$((r - sx28)) $((t + sy2)) $r $((b - sy2))" "$(rect_of "$button")" || return 1
  has_bits "$(field style "$button")" $WS_CHILD_VISIBLE || {
    why="style $(field style "$button") lacks WS_CHILD | WS_VISIBLE"
    return 1
  }
}

check_single_instance() {
  local first second started
  first=$(field hwnd "$(probe info HHTaskBar/VexoClass)")
  started=$(now_ms)
  launch second 60 "$vexo"
  wait_exit "$second" 15 || { why="the second start is still running after 15 s"; return 1; }
  expect "exit code of the second start" 0 "$exit_status" || return 1
  echo "     (the second start ended after $(($(now_ms) - started)) ms)"
  kill -0 "$vexo_pid" 2>/dev/null || { why="the first instance ended"; return 1; }
  expect "the first instance's button" "$first" "$(field hwnd "$(probe info HHTaskBar/VexoClass)")" &&
    expect "VexoClass windows" 1 "$(field count "$(probe info HHTaskBar/VexoClass)")" &&
    expect "OnCreate() lines in the log" 1 "$(grep -c 'OnCreate()' "$log_file")"
}

# hot_keys VK...: which of the keys are held, as "VK=free VK=taken ...".
hot_keys() {
  local vk out=""
  for vk in "$@"; do out+="$vk=$(probe hotkey-free "$vk") "; done
  echo "${out% }"
}

check_hot_key_from_settings() {
  expect "hot keys" "$VK_START=taken $VK_UNUSED=free" "$(hot_keys $VK_START $VK_UNUSED)"
}

read_config() {
  expect "answer to $READ_CONFIG" 0x0 \
    "$(field result "$(probe send HHTaskBar/VexoClass "$READ_CONFIG")")"
}

check_reload_moves_hot_key() {
  set_setting TLHWKey $VK_MOVED
  expect "hot keys before the message" "$VK_START=taken $VK_MOVED=free" \
    "$(hot_keys $VK_START $VK_MOVED)" || return 1
  read_config || return 1
  expect "hot keys after the message" "$VK_START=free $VK_MOVED=taken" \
    "$(hot_keys $VK_START $VK_MOVED)"
}

check_reload_clears_and_sets_hot_key() {
  set_setting TLHWKey 0
  read_config || return 1
  expect "hot keys after a reload with TLHWKey 0" "$VK_MOVED=free $VK_AGAIN=free" \
    "$(hot_keys $VK_MOVED $VK_AGAIN)" || return 1
  set_setting TLHWKey $VK_AGAIN
  read_config || return 1
  expect "hot keys after a reload with TLHWKey $VK_AGAIN" "$VK_MOVED=free $VK_AGAIN=taken" \
    "$(hot_keys $VK_MOVED $VK_AGAIN)"
}

check_close_ends_vexo() {
  probe send HHTaskBar/VexoClass WM_CLOSE >/dev/null || { why="WM_CLOSE not delivered"; return 1; }
  wait_exit "$vexo_pid" 15 || { why="still running 15 s after WM_CLOSE"; return 1; }
  expect "exit code" 0 "$exit_status" &&
    expect "button after exit" "not found" "$(probe info HHTaskBar/VexoClass)" &&
    expect "hot key after exit" "$VK_AGAIN=free" "$(hot_keys $VK_AGAIN)"
}

# check_log STARTED_MS MESSAGES...: the log holds exactly these messages, each on a line of
# its own "HH:mm:ss - message" ending in a bare line feed, stamped around the start.
check_log() {
  local started=$1
  shift
  [ -f "$log_file" ] || { why="no log file at C:\\vexo.log"; return 1; }
  if grep -q $'\r' "$log_file"; then
    why="carriage returns in the log"
    return 1
  fi
  local bad
  bad=$(grep -Evn '^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9] - .+$' "$log_file" | head -n 3)
  [ -z "$bad" ] || { why="lines not of the form 'HH:mm:ss - message': $bad"; return 1; }
  local expected actual
  expected=$(printf '%s\n' "$@")
  actual=$(sed 's/^.\{8\} - //' "$log_file")
  if [ "$expected" != "$actual" ]; then
    why=$'messages differ (expected | actual):\n'$(diff -y -W 60 <(echo "$expected") <(echo "$actual"))
    return 1
  fi
  local stamp start_clock drift
  stamp=$(head -n 1 "$log_file" | cut -c1-8)
  start_clock=$(date -d "@$((started / 1000))" +%T)
  # A second of slack either way for the two clocks' rounding.
  drift=$((($(seconds_of_day "$stamp") - $(seconds_of_day "$start_clock") + 86400 + 1) % 86400))
  [ "$drift" -le 121 ] || {
    why="first stamp $stamp is not within two minutes after the start at $start_clock"
    return 1
  }
}

seconds_of_day() {
  local h m s
  IFS=: read -r h m s <<<"$1"
  echo $((10#$h * 3600 + 10#$m * 60 + 10#$s))
}

run_vexo_checks() {
  if [ ! -f "$vexo" ]; then
    fail_setup vexo "no program at $vexo"
    return
  fi
  import_settings || fail_setup vexo.settings "regedit could not import the settings"
  start_shell || { fail_setup vexo "the shell did not start"; return; }
  local started
  started=$(now_ms)
  if start_vexo; then
    echo "     (vexo's button appeared after $(($(now_ms) - started)) ms)"
    check vexo.button-in-taskbar check_button_geometry ""
    check vexo.single-instance check_single_instance
    check vexo.hot-key-from-settings check_hot_key_from_settings
    check vexo.reload-moves-hot-key check_reload_moves_hot_key
    check vexo.reload-clears-and-sets-hot-key check_reload_clears_and_sets_hot_key
    check vexo.close-ends-with-0 check_close_ends_vexo
    check vexo.log check_log "$started" "OnCreate()" "OnReadConfig()" "OnReadConfig()" \
      "OnReadConfig()" "OnDestroy()"
  else
    fail_setup vexo.start "no button under the taskbar 30 s after the start"
  fi
  stop_vexo
  stop_shell

  # The same program at 192 dpi, in a frame twice the size; the log starts anew.
  wine_run 60 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f \
    >/dev/null 2>&1
  start_shell --size 480x640 || { fail_setup vexo.192dpi "the shell did not start"; return; }
  started=$(now_ms)
  if start_vexo; then
    check vexo.button-in-taskbar-at-192dpi check_button_geometry 192
    probe send HHTaskBar/VexoClass WM_CLOSE >/dev/null
    wait_exit "$vexo_pid" 15
    check vexo.log-of-the-second-start-only check_log "$started" "OnCreate()" "OnDestroy()"
  else
    fail_setup vexo.192dpi "no button under the taskbar 30 s after the start"
  fi
  stop_vexo
  stop_shell
}

# ---- the run ---------------------------------------------------------------------------------

began=$(now_ms)
start_watchdog "${CONFORMANCE_TIMEOUT:-600}"
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
ready=$(now_ms)

run_harness_checks
if [ "$harness_only" -eq 1 ]; then
  echo "vexo checks not run (--harness-only)"
else
  run_vexo_checks
fi
done_at=$(now_ms)
echo "time: set-up $(seconds_between "$began" "$ready") s, checks $(seconds_between "$ready" "$done_at") s"
finish
