#!/usr/bin/env bash
# setup.dll under Wine, driven by a stand-in for the CE installer in the stand-in Pocket PC
# shell: its exports by name, then install, reinstall over a running vexo and into another
# folder, uninstall and uninstall again, each checked from outside through the registry, the
# Startup shortcut and the vexo that runs; and a vexo that hangs when asked to close.
#
#   tests/wine/setup.sh [SETUP_DLL [VEXO_EXE]]   default the win32 build's setup.dll and vexo.exe
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
# Needs wine64, xvfb and mingw-w64 (the shell, the probe and the installer are built on the way).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
setup_dll=${SETUP_DLL:-$repo/build/win32/setup/setup.dll}
vexo=${VEXO_EXE:-$repo/build/win32/tools/vexo.exe}
case "${1:-}" in -*) echo "usage: $0 [SETUP_DLL [VEXO_EXE]]" >&2; exit 2 ;; esac
[ $# -ge 1 ] && setup_dll=$1
[ $# -ge 2 ] && vexo=$2

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly KEY='HKCU\Software\Holmvest\Vexo'
readonly FOLDER='C:\Program Files\Vexo'
readonly CARD_FOLDER='C:\Storage Card\Vexo'
readonly CLOSE_WAIT_MS=8000

# ---- helpers ---------------------------------------------------------------------------------

# installer ARGS...: the stand-in installer's answer, without Windows line ends, in answer. It
# goes through a file: the vexo that Install_Exit starts inherits the installer's output and
# would hold a pipe open for as long as it runs.
answer=""
installer() {
  wine_run 60 "$installer_exe" "$@" >"$work/answer" 2>>"$work/programs.log"
  answer=$(tr -d '\r' <"$work/answer")
}

install_into() { installer install "$(winpath "$work/setup.dll")" "$(winpath "$vexo")" "$1"; }
uninstall_from() { installer uninstall "$(winpath "$work/setup.dll")" "$1"; }

# steps_were LINE...: the installer printed exactly these step lines (init-ms aside).
steps_were() {
  local expected actual
  expected=$(printf '%s\n' "$@")
  actual=$(grep -v '^init-ms=' <<<"$answer")
  [ "$expected" == "$actual" ] && return 0
  why=$'installer steps differ (expected | actual):\n'$(diff -y -W 60 <(echo "$expected") <(echo "$actual"))
  return 1
}

running() { installer running; field running "$answer"; }
running_pid() { installer running; field pid "$answer"; }

install_dir() {
  wine_run 30 reg query "$KEY" /v InstallDir 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *InstallDir \{4\}REG_SZ \{4\}\(.*\)$/\1/p'
}
key_exists() { wine_run 30 reg query "$KEY" >/dev/null 2>&1; }

# The shortcut lives in the user's Startup folder, wherever Wine keeps it.
shortcut_file() { find "$WINEPREFIX/drive_c/users" -ipath '*/startup/vexo.lnk' 2>/dev/null | head -n 1; }
shortcut_text() { local f; f=$(shortcut_file); [ -n "$f" ] && cat "$f"; }

# expect_installed FOLDER: the registry, the shortcut and the running vexo all name FOLDER.
expect_installed() {
  local target="\"$1\\vexo.exe\""
  expect "InstallDir" "$1" "$(install_dir)" &&
    expect "the Startup shortcut" "${#target}#$target" "$(shortcut_text)" &&
    expect "the running vexo" "$1\\vexo.exe" "$(running)" &&
    expect "VexoClass windows" 1 "$(field count "$(probe info HHTaskBar/VexoClass)")"
}

# ---- the checks ------------------------------------------------------------------------------

check_exports() {
  local names
  names=$("$objdump" -p "$setup_dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] \([A-Za-z_]*\)$/\1/p' | sort | tr '\n' ' ')
  expect "exported names" "Install_Exit Install_Init Uninstall_Exit Uninstall_Init " "$names"
}

check_install() {
  install_into "$FOLDER"
  steps_were load=ok init=0 copy=ok exit=0 || return 1
  probe wait HHTaskBar/VexoClass 30 >/dev/null || { why="no vexo button 30 s after Install_Exit"; return 1; }
  expect_installed "$FOLDER"
}

check_reinstall_over_running() {
  local before waited
  before=$(running_pid)
  [ -n "$before" ] || { why="no vexo running before the reinstall"; return 1; }
  install_into "$FOLDER"
  steps_were load=ok init=0 copy=ok exit=0 || return 1
  waited=$(field init-ms "$answer")
  [ "$waited" -lt "$CLOSE_WAIT_MS" ] || { why="Install_Init took $waited ms: vexo did not end on WM_CLOSE"; return 1; }
  probe wait HHTaskBar/VexoClass 30 >/dev/null || { why="no vexo after the reinstall"; return 1; }
  [ "$(running_pid)" != "$before" ] || { why="the same vexo still runs"; return 1; }
  expect_installed "$FOLDER"
}

check_reinstall_elsewhere() {
  install_into "$CARD_FOLDER"
  steps_were load=ok init=0 copy=ok exit=0 || return 1
  probe wait HHTaskBar/VexoClass 30 >/dev/null || { why="no vexo after the reinstall"; return 1; }
  expect_installed "$CARD_FOLDER"
}

check_uninstall() {
  wine_run 30 reg add "$KEY\\Exceptions\\Calc" /v TapAction /t REG_DWORD /d 1 /f >/dev/null 2>&1
  uninstall_from "$CARD_FOLDER"
  steps_were load=ok init=0 delete=ok exit=0 || return 1
  expect "the running vexo" none "$(running)" || return 1
  key_exists && { why="the settings key is still there"; return 1; }
  [ -z "$(shortcut_file)" ] || { why="the shortcut is still there: $(shortcut_file)"; return 1; }
}

check_uninstall_without_shortcut() {
  wine_run 30 reg add "$KEY" /v TapAction /t REG_DWORD /d 1 /f >/dev/null 2>&1
  [ -z "$(shortcut_file)" ] || { why="a shortcut is left from before"; return 1; }
  uninstall_from "$FOLDER"
  expect "Uninstall_Init with the shortcut already gone" 0 "$(field init "$answer")" || return 1
  key_exists && { why="the settings key is still there"; return 1; }
  return 0
}

check_hung_vexo_is_ended() {
  local hung waited
  rm -f "$work/hung"
  timeout -k 5 60 "$wine" "$installer_exe" hung-button >"$work/hung" 2>/dev/null &
  hung=$!
  background_pids+=("$hung")
  probe wait HHTaskBar/VexoClass 30 >/dev/null || { why="the hanging button did not appear"; return 1; }
  installer install "$(winpath "$work/setup.dll")" "$(winpath "$work/none.exe")" "$FOLDER"
  waited=$(field init-ms "$answer")
  expect "Install_Init" 0 "$(field init "$answer")" || return 1
  [ "$waited" -ge "$CLOSE_WAIT_MS" ] && [ "$waited" -lt $((CLOSE_WAIT_MS + 5000)) ] ||
    { why="Install_Init returned after ${waited:-?} ms, not after the ${CLOSE_WAIT_MS} ms wait"; return 1; }
  wait_exit "$hung" 10 || { why="the hanging program still runs"; return 1; }
  probe wait-gone HHTaskBar/VexoClass 5 >/dev/null || { why="its button is still there"; return 1; }
  # What the installer started after it is not part of this check.
  installer running
  [ "$(field running "$answer")" == none ] || probe send HHTaskBar/VexoClass WM_CLOSE >/dev/null
}

# ---- the run ---------------------------------------------------------------------------------

began=$(now_ms)
start_watchdog "${SETUP_TIMEOUT:-600}"
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
for f in "$setup_dll" "$vexo"; do
  [ -f "$f" ] || { fail_setup files "no file at $f"; finish; exit; }
done
tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
  { fail_setup build "the shell or the probe did not build"; finish; exit; }
shell_exe=$tools/standin-shell.exe
probe_exe=$tools/probe.exe
installer_exe=$tools/setup-installer.exe
if [ ! -e "$installer_exe" ] || [ "$here/installer/installer.cpp" -nt "$installer_exe" ]; then
  "${MINGW_CXX:-x86_64-w64-mingw32-g++}" -std=c++17 -O2 -Wall -Wextra -Werror \
    -Wno-unused-parameter -DUNICODE -D_UNICODE -municode -static -s \
    -o "$installer_exe" "$here/installer/installer.cpp" ||
    { fail_setup build "the installer stand-in did not build"; finish; exit; }
fi
# The installer loads the library from a folder of its own, as it would from the cabinet.
cp "$setup_dll" "$work/setup.dll"
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed: $(tail -n 3 "$work/wineboot.log")"; finish; exit; }

check setup.exports-by-name check_exports
launch shell_pid 400 "$shell_exe" --ready "$(winpath "$work/ready")" --seconds 380
if wait_file "$work/ready" 30; then
  check setup.install-starts-vexo check_install
  check setup.reinstall-ends-the-running-vexo check_reinstall_over_running
  check setup.reinstall-elsewhere-moves-the-shortcut check_reinstall_elsewhere
  check setup.uninstall-ends-vexo-and-removes-its-traces check_uninstall
  check setup.uninstall-without-the-shortcut check_uninstall_without_shortcut
  check setup.hung-vexo-is-ended-after-the-wait check_hung_vexo_is_ended
  close_and_wait "$shell_pid" HHTaskBar
else
  fail_setup shell "the stand-in shell did not start"
fi
echo "time: $(seconds_between "$began" "$(now_ms)") s"
finish
