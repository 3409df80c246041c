# Helpers for checks under Wine, sourced by the runners: a private X server and Wine prefix that
# are removed at exit, bounded wine calls, background programs and the check tally.
# shellcheck shell=bash disable=SC2034
# (SC2034: the variables set here are read by the scripts that source this file.)

wine=${WINE:-$(command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } ||
  command -v wine)}
wineserver=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
export WINELOADER=${WINELOADER:-$wine}

work=$(mktemp -d "${TMPDIR:-/tmp}/vexo-wine.XXXXXX")
xvfb_pid=""
probe_exe=""  # set by the runner before the first probe call
background_pids=()
passed=0
failed=0
why=""

cleanup() {
  local pid
  for pid in "${background_pids[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    # Ends what is left of the Windows processes of this prefix, which only this run uses.
    timeout 10 "$wineserver" -k >/dev/null 2>&1
    timeout 10 "$wineserver" -w >/dev/null 2>&1
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Milliseconds of the clock, and the seconds between two of them with one decimal.
now_ms() {
  local us=${EPOCHREALTIME//[!0-9]/}
  echo $((us / 1000))
}
seconds_between() { printf '%d.%d' $((($2 - $1) / 1000)) $(((($2 - $1) % 1000) / 100)); }

# Bounds the whole run: after SECONDS the run stops with a failed check and its tally.
start_watchdog() {
  local runner=$$
  (
    trap 'kill "$nap" 2>/dev/null; exit 0' TERM
    sleep "$1" &
    nap=$!
    wait "$nap" && kill -USR1 "$runner"
  ) &
  background_pids+=("$!")
  # shellcheck disable=SC2064  # the limit is meant to be expanded now
  trap "fail_setup watchdog 'the run took longer than $1 s'; finish; exit 1" USR1
}

# An X server of our own on the first free display; Xvfb reports which one it took.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!

  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  [ -s "$work/display" ] || return 1
  DISPLAY=":$(head -n 1 "$work/display")"
  export DISPLAY
}

# A fresh prefix, without the Mono and Gecko installers that nothing here needs.
make_prefix() {
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  timeout -k 5 240 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || return 1
  # No window manager runs on the private display: left to manage windows, Wine would wait two
  # seconds for one each time a top-level window is hidden or destroyed.
  timeout -k 5 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    >>"$work/wineboot.log" 2>&1 || return 1
  timeout -k 5 60 "$wineserver" -w
}

# wine with a time limit in seconds.
wine_run() {
  local limit=$1
  shift
  timeout -k 5 "$limit" "$wine" "$@"
}

# The Windows name of a host path, through the drive Z: that Wine maps to the root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Starts a Windows program in the background: launch VAR LIMIT PROGRAM ARGS...; VAR gets the pid.
launch() {
  local var=$1 limit=$2
  shift 2
  timeout -k 5 "$limit" "$wine" "$@" >>"$work/programs.log" 2>&1 &
  background_pids+=("$!")
  printf -v "$var" %s "$!"
}

# Waits up to SECONDS for the background PID to end and puts its exit status into exit_status;
# fails when it is still running.
exit_status=""
wait_exit() {
  local pid=$1 deadline=$(($(now_ms) + $2 * 1000))
  exit_status=""
  while kill -0 "$pid" 2>/dev/null; do
    [ "$(now_ms)" -ge "$deadline" ] && return 1
    sleep 0.1
  done
  wait "$pid"
  exit_status=$?
}

# close_and_wait PID WINDOW: WM_CLOSE sent to WINDOW, then up to 10 s for PID to end before it
# is killed.
close_and_wait() {
  probe send "$2" WM_CLOSE >/dev/null
  wait_exit "$1" 10 || kill "$1" 2>/dev/null
}

wait_file() {

  for _ in $(seq $(($2 * 10))); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# probe COMMAND ARGS...: the probe's answer, without Windows line ends; its status is the probe's.
probe() { wine_run 30 "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }

# field NAME TEXT: the value of the line NAME=... of a probe answer.
field() { sed -n "s/^$1=//p" <<<"$2"; }

# Dpi-scaled length: scale N DPI.
scale() { echo $((($1 * $2 + 48) / 96)); }

# expect WHAT EXPECTED ACTUAL: fails with the reason in why when they differ.
expect() {
  [ "$2" == "$3" ] && return 0
  why="$1: expected '$2', got '$3'"
  return 1
}

# check NAME COMMAND...: runs one check and tallies it.
check() {
  local name=$1
  shift
  why=""
  if "$@"; then
    echo "PASS $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name: ${why:-failed}"
    failed=$((failed + 1))
  fi
}

# fail_setup NAME WHY: counts a failed step that stops the run.
fail_setup() {
  echo "FAIL $1: $2"
  failed=$((failed + 1))
}

finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
