#!/usr/bin/env bash
# How vexo closes programs under a real Win32: every kind of program the stand-in shell has is
# closed by vexo's own code (as a tap closes the program in front, as a task's close mark does
# with force, and by "Close All Tasks"), and what each receives is compared with what the same
# kind receives on the simulated device. A program that hangs must leave the button working:
# vexo still leaves at once when it is told to.
#
#   tests/wine/closing.sh [VEXO_DRIVEN_EXE]   default: the win32 build's vexo-driven.exe
#
# CLOSE_RECORD names the sim build's close-record (default build/sim/tools/close-record).
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
driven=${1:-${VEXO_DRIVEN_EXE:-$repo/build/win32/tools/vexo-driven.exe}}
close_record=${CLOSE_RECORD:-$repo/build/sim/tools/close-record}

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly REQUEST=VexoTest::Close
readonly CLOSE=1 FORCE=2 CLOSE_ALL=3
# The hung program first, so that it is the last task of the table, below all the others.
readonly KINDS=(hang ok close propsheet ignore-close media disabled recovers)
# The messages a close is made of; the rest (activation, painting, sizes) is the window
# manager's own business and differs between the two.
readonly CONVERSATION='WM_CLOSE|WM_QUIT|WM_COMMAND|WM_ENABLE|WM_CANCELMODE|PSM_PRESSBUTTON|PSM_GETCURRENTPAGEHWND'

shell_pid=""
vexo_pid=""

start_shell() {
  local args=() kind
  for kind in "${KINDS[@]}"; do args+=(--program "$kind"); done
  rm -f "$work/ready" "$work/record"
  launch shell_pid 150 "$shell_exe" --ready "$(winpath "$work/ready")" \
    --record "$(winpath "$work/record")" --seconds 120 "${args[@]}"
  wait_file "$work/ready" 30
}

stop_shell() { close_and_wait "$shell_pid" HHTaskBar; }

# Returns once the button takes requests.
start_vexo() {
  launch vexo_pid 120 "$driven"
  probe wait HHTaskBar/VexoClass 30 >/dev/null || return 1
  for _ in $(seq 50); do
    [ "$(field result "$(probe send HHTaskBar/VexoClass "$REQUEST" 0 0)")" = 0x1 ] && return 0
    sleep 0.1
  done
  return 1
}

stop_vexo() {
  kill -0 "$vexo_pid" 2>/dev/null || return 0
  probe post HHTaskBar/VexoClass WM_CLOSE >/dev/null
  wait_exit "$vexo_pid" 10 || kill "$vexo_pid" 2>/dev/null
}

# The window of the program with that title, as the shell's ready file gives it.
window_of() { awk -F'\t' -v t="$1" '$1 == "program" && $2 == t { print $3 }' "$work/ready"; }
titles() { awk -F'\t' '$1 == "program" { print $2 }' "$work/ready"; }

# Posted, as the menu posts its commands: the request waits in the button's queue.
request() { probe post HHTaskBar/VexoClass "$REQUEST" "$1" "$2" >/dev/null; }

# conversation TITLE FILE: the close messages the program of that title received.
conversation() {
  awk -F'\t' -v t="$1" -v names="^($CONVERSATION)$" '$1 == t && $6 ~ names' "$2"
}

# One program's record against the device's. What came from another thread is vexo's doing;
# what a program's own thread did (its window manager's activation included) is left out.
# Sent messages must agree in order, and so must posted ones: how the two interleave is the
# receiver's timing, which differs between them.
check_same_record() {
  local title=$1 wine_lines sim_lines how
  wine_lines=$(conversation "$title" "$work/record" | awk -F'\t' '$2 != "local"')
  sim_lines=$(conversation "$title" "$work/sim-record" | awk -F'\t' '$2 != "local"')
  for how in sent posted; do
    if [ "$(awk -F'\t' -v h=$how '$2 == h' <<<"$wine_lines")" != \
      "$(awk -F'\t' -v h=$how '$2 == h' <<<"$sim_lines")" ]; then
      why=$'the records differ (Wine | simulated device):\n'$(diff -y -W 130 \
        <(cut -f2- <<<"$wine_lines") <(cut -f2- <<<"$sim_lines"))
      return 1
    fi
  done
}

# Asked to leave while a worker still waits for the hung program, vexo leaves at once: its
# own thread never waited.
check_leaves_while_a_program_hangs() {
  kill -0 "$vexo_pid" 2>/dev/null || { why="vexo is not running"; return 1; }
  probe post HHTaskBar/VexoClass WM_CLOSE >/dev/null
  wait_exit "$vexo_pid" 10 || { why="still running 10 s after a posted WM_CLOSE"; return 1; }
  expect "exit code" 0 "$exit_status"
}

# run_session ACTION: the shell's programs closed one way, on Wine and on the device.
run_session() {
  local action=$1 title
  start_shell || { fail_setup "closing.$action" "the shell did not start"; return; }
  if ! start_vexo; then
    fail_setup "closing.$action" "the button did not take requests"
    stop_vexo
    stop_shell
    return
  fi
  case "$action" in
  close | force)
    local how=$CLOSE
    [ "$action" = force ] && how=$FORCE
    while read -r title; do request "$(window_of "$title")" $how; done < <(titles)
    ;;
  close-all) request 0 $CLOSE_ALL ;;
  esac
  # The sheet goes a moment after it is confirmed, the busy program after two seconds.
  sleep 4
  check "closing.$action.vexo-leaves-while-a-program-hangs" check_leaves_while_a_program_hangs
  stop_vexo
  stop_shell
  "$close_record" "$action" "${KINDS[@]}" >"$work/sim-record" 2>"$work/sim-errors" ||
    { fail_setup "closing.$action.device" "close-record failed: $(head -n 3 "$work/sim-errors")"; return; }
  while read -r title; do
    check "closing.$action.${title// /-}" check_same_record "$title"
  done < <(titles)
}

began=$(now_ms)
start_watchdog "${CLOSING_TIMEOUT:-600}"
[ -f "$driven" ] || { fail_setup build "no program at $driven"; finish; exit; }
[ -x "$close_record" ] || { fail_setup build "no close-record at $close_record"; finish; exit; }
tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
  { fail_setup build "the shell or the probe did not build"; finish; exit; }
shell_exe=$tools/standin-shell.exe
probe_exe=$tools/probe.exe
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed: $(tail -n 3 "$work/wineboot.log")"; finish; exit; }
ready=$(now_ms)

run_session close
run_session force
run_session close-all
done_at=$(now_ms)
echo "time: set-up $(seconds_between "$began" "$ready") s, checks $(seconds_between "$ready" "$done_at") s"
finish
