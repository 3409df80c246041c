#!/usr/bin/env bash
# vexocfg.exe under Wine, checked from outside: what each command prints and exits with, what it
# leaves in the registry as Wine's own reg.exe sees it, that a refused command writes nothing,
# and that a change reaches a running vexo.exe through its reload message.
#
#   tests/wine/vexocfg.sh [VEXOCFG_EXE [VEXO_EXE]]   default the win32 build's tools
#
# Prints PASS or FAIL per check, then "N passed, M failed"; exits non-zero when any failed.
# Needs wine64, xvfb and mingw-w64 (the shell and the probe are built on the way).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cfg_exe=${VEXOCFG_EXE:-$repo/build/win32/tools/vexocfg.exe}
vexo=${VEXO_EXE:-$repo/build/win32/tools/vexo.exe}
case "${1:-}" in -*) echo "usage: $0 [VEXOCFG_EXE [VEXO_EXE]]" >&2; exit 2 ;; esac
[ $# -ge 1 ] && cfg_exe=$1
[ $# -ge 2 ] && vexo=$2

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly KEY='HKCU\Software\Holmvest\Vexo'
readonly KEY_NAME='HKEY_CURRENT_USER\Software\Holmvest\Vexo'
readonly VK_FIRST=0xC1 VK_SECOND=0xC2

# ---- helpers ---------------------------------------------------------------------------------

# cfg ARGS...: runs vexocfg; its status goes to cfg_status, its streams to out and err.
cfg_status=""
out=""
err=""
cfg() {
  wine_run 30 "$cfg_exe" "$@" >"$work/out" 2>"$work/err" </dev/null
  cfg_status=$?
  out=$(<"$work/out")
  err=$(<"$work/err")
}

# run_cfg STATUS ARGS...: cfg, failing with why unless it exits with STATUS.
run_cfg() {
  local want=$1
  shift
  cfg "$@"
  [ "$cfg_status" == "$want" ] && return 0
  why="vexocfg $*: exit $cfg_status, expected $want (stderr: ${err:-none})"
  return 1
}

# The settings key as vexocfg exports it, into FILE (a host path), byte for byte.
export_to() {
  rm -f "$1"
  cfg export "$(winpath "$1")"
  [ "$cfg_status" == 0 ] && [ -f "$1" ] || { why="export failed: exit $cfg_status, $err"; return 1; }
}

# reg_value NAME [SUBKEY]: "TYPE DATA" of a value as reg.exe shows it, or "absent".
reg_value() {
  local key=$KEY${2:+\\$2} answer
  answer=$(wine_run 30 reg query "$key" /v "$1" 2>/dev/null | tr -d '\r') || { echo absent; return; }
  sed -n "s/^ *$1 \{4\}\(REG_[A-Z_]*\) \{4\}\(.*\)\$/\1 \2/p" <<<"$answer"
}

# reg_names [SUBKEY]: the value names of a key, one a line, as reg.exe lists them.
reg_names() {
  wine_run 30 reg query "$KEY${1:+\\$1}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ \{4\}\([^ ].*\) \{4\}REG_[A-Z_]* .*$/\1/p'
}

reg_subkeys() {  # reg_subkeys SUBKEY: the subkeys under it, their last component only
  wine_run 30 reg query "$KEY\\$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^HKEY_CURRENT_USER\\\\Software\\\\Holmvest\\\\Vexo\\\\$1\\\\//p"
}

clear_settings() { wine_run 30 reg delete "$KEY" /f >/dev/null 2>&1 || true; }

# refused STATUS WHAT ARGS...: the command exits with STATUS, prints nothing on stdout, says why
# on stderr (matching the extended regex WHAT), and the export is the same before and after.
refused() {
  local want=$1 what=$2 said
  shift 2
  export_to "$work/before.reg" || return 1
  run_cfg "$want" "$@" || return 1
  expect "stdout of vexocfg $*" "" "$out" || return 1
  said=$err
  grep -Eq "$what" <<<"$said" || { why="stderr of vexocfg $* is '$said', not /$what/"; return 1; }
  export_to "$work/after.reg" || return 1
  cmp -s "$work/before.reg" "$work/after.reg" || { why="vexocfg $* changed the settings"; return 1; }
  err=$said  # the refusal's words, not the export's, for the caller to look at
}

# crlf LINE...: the lines with Windows line ends, as regedit text is written.
crlf() { printf '%s\r\n' "$@"; }

# ---- commands without vexo -------------------------------------------------------------------

check_help() {
  local help names name
  run_cfg 0 --help || return 1
  help=$out
  expect "stderr of --help" "" "$err" || return 1
  grep -q '^Usage: vexocfg ' <<<"$help" || { why="--help does not begin with a usage line"; return 1; }
  for form in -h help "list --help"; do
    # shellcheck disable=SC2086  # the forms are split on purpose
    run_cfg 0 $form || return 1
    expect "vexocfg $form against --help" "$help" "$out" || return 1
  done
  # Every setting list prints is described in the help's table of settings.
  run_cfg 0 list || return 1
  names=$(sed -n 's/^\([A-Za-z]*\) *= .*/\1/p' <<<"$out")
  expect "settings in list" 32 "$(wc -l <<<"$names")" || return 1
  for name in $names; do
    grep -Eq "^  $name +" <<<"$help" || { why="$name is not in the help's settings"; return 1; }
  done
}

check_usage_errors() {
  refused 2 "no command given" || return 1
  refused 2 'unknown command "frob"' frob || return 1
  refused 2 "unknown option --frob" --frob list || return 1
  refused 2 "unknown option --frob" set TLHWKey 5 --frob || return 1
  # After "--" an option is a word, here the name of a command.
  refused 2 'unknown command "--help"' -- --help || return 1
  refused 2 "usage: vexocfg get NAME" get || return 1
  refused 2 "usage: vexocfg set NAME VALUE" set TLHWKey || return 1
  refused 2 "usage: vexocfg set NAME VALUE" set TLHWKey 5 6 || return 1
  refused 2 "usage: vexocfg reset NAME" reset || return 1
  refused 2 "usage: vexocfg list" list extra || return 1
  refused 2 "usage: vexocfg import FILE" import || return 1
  refused 2 "usage: vexocfg export FILE" export a b || return 1
  refused 2 "usage: vexocfg exception add" exception add 'C:\a.exe' close || return 1
  refused 2 "usage: vexocfg exception add" exception drop 'C:\a.exe' || return 1
  refused 2 "usage: vexocfg ignore add" ignore || return 1
  refused 2 "usage: vexocfg ignore add" ignore list extra || return 1
  grep -q "Try 'vexocfg --help'" <<<"$err" || { why="no pointer to --help: $err"; return 1; }
}

check_defaults_on_an_empty_registry() {
  expect "the settings key before any command" absent "$(reg_value TLHWKey)" || return 1
  run_cfg 0 get TLHWKey && expect "get TLHWKey" "0 (default)" "$out" || return 1
  run_cfg 0 get clrmenubg && expect "get clrmenubg" "system COLOR_MENU (default)" "$out" || return 1
  run_cfg 0 get LogFile && expect "get LogFile" '"\vexo.log" (default)' "$out" || return 1
  run_cfg 0 exception list && expect "exception list" "" "$out" || return 1
  run_cfg 0 ignore list && expect "ignore list" "" "$out" || return 1
  export_to "$work/empty.reg" || return 1
  expect "export of no settings" "$(crlf REGEDIT4 "" "[$KEY_NAME]" "" | od -c)" \
    "$(od -c <"$work/empty.reg")" || return 1
  # Reading leaves the registry as it was.
  expect "the settings key after reading" absent "$(reg_value TLHWKey)"
}

check_set_without_vexo() {
  run_cfg 0 set TLHWKey 0xc1 || return 1
  expect "stdout" "TLHWKey = 193" "$out" &&
    expect "stderr" "vexocfg: vexo is not running; it reads the settings when it starts" "$err" &&
    expect "TLHWKey in the registry" "REG_DWORD 0xc1" "$(reg_value TLHWKey)" || return 1
  run_cfg 0 --no-notify set TLHWKey 0 && expect "stderr with --no-notify" "" "$err"
}

# set_stores NAME VALUE SHOWN REG: set prints SHOWN, the registry holds REG, get prints SHOWN.
set_stores() {
  run_cfg 0 --no-notify set "$1" "$2" || return 1
  expect "set $1 $2" "$1 = $3" "$out" &&
    expect "$1 in the registry after set $1 $2" "$4" "$(reg_value "$1")" || return 1
  run_cfg 0 get "$1" && expect "get $1" "$3" "$out"
}

check_set_and_get() {
  clear_settings
  set_stores TLHWKey 255 255 "REG_DWORD 0xff" &&
    set_stores LogLevel 7 7 "REG_DWORD 0x7" &&
    set_stores KillTimeout 0x0E10 3600 "REG_DWORD 0xe10" &&
    set_stores AltTabTimeout 60000 60000 "REG_DWORD 0xea60" &&
    set_stores TapAction minimise minimize "REG_DWORD 0x1" &&
    set_stores GestureAction MENU menu "REG_DWORD 0x2" &&
    set_stores TapAndHoldAction 0 close "REG_DWORD 0x0" &&
    set_stores AltTab off off "REG_DWORD 0x0" &&
    set_stores ShowDot 1 on "REG_DWORD 0x1" &&
    set_stores ClrMenuBg '#123456' 0x123456 "REG_DWORD 0x563412" &&
    set_stores ClrMenuFg 0xA0B0C0 0xA0B0C0 "REG_DWORD 0xc0b0a0" &&
    set_stores ClrMenuHiBg '1, 2,3' 0x010203 "REG_DWORD 0x30201" &&
    set_stores ClrMenuHiFg 255,255,255 0xFFFFFF "REG_DWORD 0xffffff" &&
    set_stores LogFile 'C:\logs\vexo.log' '"C:\logs\vexo.log"' 'REG_SZ C:\logs\vexo.log' &&
    set_stores InstallDir '\Program Files\Vexo' '"\Program Files\Vexo"' \
      'REG_SZ \Program Files\Vexo' &&
    set_stores WiFiDevice 'Wi "Fi" 1' '"Wi "Fi" 1"' 'REG_SZ Wi "Fi" 1' || return 1
  # A name in any case is stored under the setting's own spelling.
  run_cfg 0 --no-notify set showbth on && expect "set showbth on" "ShowBth = on" "$out" || return 1
  grep -qx ShowBth <<<"$(reg_names)" || { why="no value ShowBth: $(reg_names | tr '\n' ' ')"; return 1; }
}

check_reset() {
  run_cfg 0 --no-notify reset TLHWKey && expect "reset TLHWKey" "TLHWKey = 0 (default)" "$out" &&
    expect "TLHWKey after reset" absent "$(reg_value TLHWKey)" &&
    expect "LogLevel after resetting another" "REG_DWORD 0x7" "$(reg_value LogLevel)" || return 1
  run_cfg 0 get TLHWKey && expect "get after reset" "0 (default)" "$out" || return 1
  # Resetting what is not stored is no error and writes nothing.
  export_to "$work/before.reg" && run_cfg 0 --no-notify reset TLHWKey &&
    export_to "$work/after.reg" || return 1
  cmp -s "$work/before.reg" "$work/after.reg" || { why="a second reset changed the export"; return 1; }
}

check_refusals() {
  refused 1 'unknown setting "Frob"' get Frob &&
    refused 1 'unknown setting "Frob"' set Frob 1 &&
    refused 1 'unknown setting "Frob"' reset Frob &&
    refused 1 "IgnoredApps is a list: use 'vexocfg ignore" get IgnoredApps &&
    refused 1 "Exceptions is a list: use 'vexocfg exception" set Exceptions 1 || return 1
  # Numbers that do not parse: a sign, letters, blanks, nothing, hex beyond a dword.
  local bad
  for bad in -1 12a ' 5' '' 0x 0x1FFFFFFFF 4294967296 1e3; do
    refused 1 "TLHWKey: \"$bad\" is not a number" set TLHWKey "$bad" || return 1
  done
  refused 1 'AltTab: "yes" is not on or off' set AltTab yes &&
    refused 1 'TapAction: "shut" is not an action' set TapAction shut || return 1
  # One past each end of a range.
  refused 1 "TLHWKey: 256 is out of range 0..255" set TLHWKey 256 &&
    refused 1 "LogLevel: 8 is out of range 0..7" set LogLevel 8 &&
    refused 1 "KillTimeout: 0xE11 is out of range 0..3600" set KillTimeout 0xE11 &&
    refused 1 "LongPressTimeout: 60001 is out of range" set LongPressTimeout 60001 &&
    refused 1 "TapAction: 3 is not an action" set TapAction 3 &&
    refused 1 "ShowDot is on or off: .* not 2" set ShowDot 2 || return 1
  for bad in '#12345' '#1234567' 0x1234567 256,0,0 1,2 1,2,3,4 -1,0,0 red '#GG0000'; do
    refused 1 "ClrMenuBg: \"$bad\" is not a colour" set ClrMenuBg "$bad" || return 1
  done
  refused 1 'LogFile: "vexo.log" is not a full path' set LogFile vexo.log &&
    refused 1 'LogFile: "C:vexo.log" is not a full path' set LogFile C:vexo.log &&
    refused 1 'InstallDir: "Program Files\\Vexo" is not a full path' \
      set InstallDir 'Program Files\Vexo' &&
    refused 1 "LogFile: the path is empty" set LogFile '' &&
    refused 1 "InstallDir: longer than 247 characters" set InstallDir "\\$(printf 'a%.0s' {1..247})" &&
    refused 1 "WiFiDevice: longer than 128" set WiFiDevice "$(printf 'w%.0s' {1..129})" &&
    refused 1 "WiFiDevice: control characters" set WiFiDevice $'a\tb' &&
    refused 1 'ExeName: "pword.exe" is not a full path' exception add pword.exe close menu &&
    refused 1 "TapAction: \"4\" is not|TapAction: 4 is not an action" \
      exception add '\Windows\pword.exe' 4 menu &&
    refused 1 'GestureAction: "drag" is not an action' exception add '\a.exe' close drag &&
    refused 1 'Item: "Windows\\a.exe" is not a full path' ignore add 'Windows\a.exe' &&
    refused 1 "there is no exception for \\\\nothing.exe" exception remove '\nothing.exe' &&
    refused 1 'is not ignored' ignore remove '\nothing.exe'
}

check_exceptions() {
  clear_settings
  run_cfg 0 --no-notify exception add '\Windows\pword.exe' close menu &&
    expect "exception add" 'added \Windows\pword.exe  tap close, gesture menu' "$out" || return 1
  expect "ExeName" 'REG_SZ \Windows\pword.exe' "$(reg_value ExeName 'Exceptions\pword.exe')" &&
    expect "TapAction" "REG_DWORD 0x0" "$(reg_value TapAction 'Exceptions\pword.exe')" &&
    expect "GestureAction" "REG_DWORD 0x2" "$(reg_value GestureAction 'Exceptions\pword.exe')" ||
    return 1
  # The same program in another case replaces its exception.
  run_cfg 0 --no-notify exception add '\WINDOWS\PWORD.EXE' minimize 1 &&
    expect "second add" 'updated \WINDOWS\PWORD.EXE  tap minimize, gesture minimize' "$out" &&
    expect "subkeys after the update" "pword.exe" "$(reg_subkeys Exceptions)" || return 1
  # Another program of the same file name gets a subkey of its own.
  run_cfg 0 --no-notify exception add '\Storage Card\pword.exe' menu close &&
    expect "subkeys" "$(printf 'pword.exe\npword.exe (2)')" "$(reg_subkeys Exceptions)" &&
    run_cfg 0 exception list &&
    expect "exception list" "$(printf '%s\n' '\WINDOWS\PWORD.EXE  tap minimize, gesture minimize' \
      '\Storage Card\pword.exe  tap menu, gesture close')" "$out" || return 1
  run_cfg 0 --no-notify exception remove '\windows\pword.exe' &&
    expect "remove" 'removed the exception of \windows\pword.exe' "$out" &&
    expect "subkeys after remove" "pword.exe (2)" "$(reg_subkeys Exceptions)" &&
    run_cfg 0 exception list &&
    expect "exception list after remove" '\Storage Card\pword.exe  tap menu, gesture close' "$out"
}

check_ignored_renumbering() {
  clear_settings
  local p
  for p in '\Windows\a.exe' '\Windows\b.exe' '\Windows\c.exe'; do
    run_cfg 0 --no-notify ignore add "$p" && expect "ignore add" "ignoring $p" "$out" || return 1
  done
  expect "items" "Item0 Item1 Item2" "$(reg_names IgnoredApps | tr '\n' ' ' | sed 's/ $//')" ||
    return 1
  run_cfg 0 --no-notify ignore add '\windows\B.EXE' &&
    expect "adding one again" '\windows\B.EXE is already ignored' "$out" &&
    expect "items after adding one again" "Item0 Item1 Item2" \
      "$(reg_names IgnoredApps | tr '\n' ' ' | sed 's/ $//')" || return 1
  run_cfg 0 --no-notify ignore remove '\WINDOWS\B.exe' &&
    expect "remove" 'no longer ignoring \WINDOWS\B.exe' "$out" &&
    expect "Item0" 'REG_SZ \Windows\a.exe' "$(reg_value Item0 IgnoredApps)" &&
    expect "Item1, moved up" 'REG_SZ \Windows\c.exe' "$(reg_value Item1 IgnoredApps)" &&
    expect "Item2" absent "$(reg_value Item2 IgnoredApps)" || return 1
  # A list with a gap, written by hand: vexo stops at the gap, and the next change closes it.
  wine_run 30 reg delete "$KEY\\IgnoredApps" /v Item1 /f >/dev/null 2>&1 &&
    wine_run 30 reg add "$KEY\\IgnoredApps" /v Item2 /d '\Windows\d.exe' /f >/dev/null 2>&1 ||
    { why="reg.exe could not make the gap"; return 1; }
  run_cfg 0 ignore list &&
    expect "ignore list with a gap" "$(printf '%s\n' '\Windows\a.exe' \
      '\Windows\d.exe  (vexo does not read it: the items have a gap)')" "$out" || return 1
  run_cfg 0 --no-notify ignore add '\Windows\e.exe' &&
    expect "Item1 after closing the gap" 'REG_SZ \Windows\d.exe' "$(reg_value Item1 IgnoredApps)" &&
    expect "Item2 after closing the gap" 'REG_SZ \Windows\e.exe' "$(reg_value Item2 IgnoredApps)" &&
    run_cfg 0 ignore list &&
    expect "ignore list" "$(printf '%s\n' '\Windows\a.exe' '\Windows\d.exe' '\Windows\e.exe')" "$out"
}

check_list() {
  clear_settings
  run_cfg 0 --no-notify set TLHWKey 193 && run_cfg 0 --no-notify set ClrMenuBg 0x102030 &&
    run_cfg 0 --no-notify exception add '\Windows\x.exe' menu close &&
    run_cfg 0 --no-notify ignore add '\Windows\y.exe' || return 1
  run_cfg 0 list || return 1
  local line
  for line in 'TLHWKey            = 193' 'ClrMenuBg          = 0x102030' \
    'ClrMenuFg          = system COLOR_MENUTEXT (default)' 'AltTab             = on (default)' \
    'KillTimeout        = 10 (default)' 'GestureAction      = minimize (default)' \
    'WiFiDevice         = "" (default)' 'Exceptions:' '  \Windows\x.exe  tap menu, gesture close' \
    'IgnoredApps:' '  \Windows\y.exe'; do
    grep -qxF -- "$line" <<<"$out" || { why="no line '$line' in: $out"; return 1; }
  done
  expect "the last lines" "$(printf '%s\n' 'Exceptions:' '  \Windows\x.exe  tap menu, gesture close' \
    'IgnoredApps:' '  \Windows\y.exe')" "$(tail -n 4 <<<"$out")"
}

check_export_bytes() {
  clear_settings
  run_cfg 0 --no-notify set TLHWKey 0xC1 && run_cfg 0 --no-notify set ClrMenuBg '#123456' &&
    run_cfg 0 --no-notify set WiFiDevice 'Wi "Fi" \ 1' &&
    run_cfg 0 --no-notify exception add '\Windows\pword.exe' close menu &&
    run_cfg 0 --no-notify ignore add '\Windows\a.exe' || return 1
  export_to "$work/export.reg" || return 1
  expect "stdout of export" "exported the settings to $(winpath "$work/export.reg")" "$out" || return 1
  crlf REGEDIT4 "" "[$KEY_NAME]" '"ClrMenuBg"=dword:00563412' '"TLHWKey"=dword:000000c1' \
    '"WiFiDevice"="Wi \"Fi\" \\ 1"' "" "[$KEY_NAME\\Exceptions]" "" \
    "[$KEY_NAME\\Exceptions\\pword.exe]" '"ExeName"="\\Windows\\pword.exe"' \
    '"GestureAction"=dword:00000002' '"TapAction"=dword:00000000' "" \
    "[$KEY_NAME\\IgnoredApps]" '"Item0"="\\Windows\\a.exe"' "" >"$work/expected.reg"
  cmp -s "$work/expected.reg" "$work/export.reg" ||
    { why=$'export differs (expected | actual):\n'$(diff -y -W 120 "$work/expected.reg" "$work/export.reg" | tr -d '\r'); return 1; }
  # Values vexocfg never writes itself come out as regedit writes them too.
  wine_run 30 reg add "$KEY" /v Page /t REG_BINARY /d 0102ff /f >/dev/null 2>&1 || return 1
  export_to "$work/export.reg" &&
    grep -qF $'"Page"=hex:01,02,ff\r' "$work/export.reg" || { why="no Page=hex:01,02,ff line"; return 1; }
  run_cfg 0 get Page && expect "get of a binary Page" "0 (default: what is stored is not a 4-byte number)" "$out"
}

check_import() {
  clear_settings
  # UTF-8 with a byte-order mark, blanks and a comment; a value deleted by the same file.
  {
    printf '\xEF\xBB\xBF'
    crlf REGEDIT4 "" "; made by hand" "[$KEY_NAME]" '"TLHWKey"=dword:000000c2' \
      '"WiFiDevice"="Café"' '"LogLevel"=dword:00000003' '"LogLevel"=-' "" \
      "[$KEY_NAME\\Exceptions\\notes]" '"ExeName"="\\Windows\\notes.exe"' \
      '"TapAction"=dword:00000002' "" "[$KEY_NAME\\IgnoredApps]" '"Item0"="\\Windows\\z.exe"' ""
  } >"$work/import.reg"
  run_cfg 0 --no-notify import "$(winpath "$work/import.reg")" &&
    expect "stdout" "imported $(winpath "$work/import.reg")" "$out" &&
    expect "TLHWKey" "REG_DWORD 0xc2" "$(reg_value TLHWKey)" &&
    expect "LogLevel, deleted by the file" absent "$(reg_value LogLevel)" &&
    expect "ExeName" 'REG_SZ \Windows\notes.exe' "$(reg_value ExeName 'Exceptions\notes')" &&
    expect "Item0" 'REG_SZ \Windows\z.exe' "$(reg_value Item0 IgnoredApps)" || return 1
  # The text comes back as the same UTF-8 bytes.
  export_to "$work/first.reg" &&
    grep -qF $'"WiFiDevice"="Caf\xc3\xa9"\r' "$work/first.reg" || { why="WiFiDevice not exported as UTF-8"; return 1; }
  # What export writes, import takes back to the same registry.
  clear_settings
  run_cfg 0 --no-notify import "$(winpath "$work/first.reg")" && export_to "$work/second.reg" ||
    return 1
  cmp -s "$work/first.reg" "$work/second.reg" || { why="export, import, export is not the same"; return 1; }
  # [-KEY] deletes a subtree.
  crlf REGEDIT4 "" "[-$KEY_NAME\\Exceptions]" "" >"$work/drop.reg"
  run_cfg 0 --no-notify import "$(winpath "$work/drop.reg")" &&
    expect "the Exceptions key after [-Exceptions]" absent "$(reg_value ExeName 'Exceptions\notes')" &&
    run_cfg 0 exception list && expect "exception list after [-Exceptions]" "" "$out" &&
    expect "TLHWKey after [-Exceptions]" "REG_DWORD 0xc2" "$(reg_value TLHWKey)"
}

# import_refused WHAT LINES...: a file of these lines (CRLF) is refused and changes nothing.
import_refused() {
  local what=$1
  shift
  crlf "$@" >"$work/bad.reg"
  refused 1 "$what" import "$(winpath "$work/bad.reg")"
}

check_import_refusals() {
  # A good line before the bad one is not applied either.
  import_refused "line 4: TLHWKey: 0x00000100 is out of range" REGEDIT4 "[$KEY_NAME]" \
    '"ShowDot"=dword:00000000' '"TLHWKey"=dword:00000100' "" &&
    import_refused 'line 3: unknown setting "Frob"' REGEDIT4 "[$KEY_NAME]" '"Frob"=dword:1' &&
    import_refused "ClrMenuBg: 0x01000000 is not a colour" REGEDIT4 "[$KEY_NAME]" \
      '"ClrMenuBg"=dword:01000000' &&
    import_refused "LogFile: \"log.txt\" is not a full path" REGEDIT4 "[$KEY_NAME]" \
      '"LogFile"="log.txt"' &&
    import_refused "TLHWKey must be a dword" REGEDIT4 "[$KEY_NAME]" '"TLHWKey"="193"' &&
    import_refused "must begin with REGEDIT4" "Windows Registry Editor Version 5.00" "[$KEY_NAME]" &&
    import_refused "is outside $(sed 's/\\/\\\\/g' <<<"$KEY_NAME")" REGEDIT4 \
      '[HKEY_CURRENT_USER\Software\Other]' '"A"=dword:1' &&
    import_refused "the exception lonely has no ExeName" REGEDIT4 \
      "[$KEY_NAME\\Exceptions\\lonely]" '"TapAction"=dword:00000001' &&
    import_refused "IgnoredApps would have" REGEDIT4 "[$KEY_NAME\\IgnoredApps]" \
      '"Item5"="\\Windows\\q.exe"' &&
    import_refused "dword needs 1 to 8 hex digits" REGEDIT4 "[$KEY_NAME]" '"TLHWKey"=dword:123456789' ||
    return 1
  printf '\xFF\xFER\0E\0' >"$work/utf16.reg"
  refused 1 "the file is UTF-16" import "$(winpath "$work/utf16.reg")" &&
    refused 3 "vexocfg: .*missing\\.reg: " import "$(winpath "$work/missing.reg")" &&
    refused 3 "vexocfg: " export 'Z:\no\such\folder\x.reg'
}

# ---- vexo hears the changes ------------------------------------------------------------------

shell_pid=""
vexo_pid=""

hot_keys() {  # hot_keys VK...: "VK=free VK=taken ..."
  local vk s=""
  for vk in "$@"; do s+="$vk=$(probe hotkey-free "$vk") "; done
  echo "${s% }"
}

check_set_notifies_vexo() {
  expect "hot keys before" "$VK_FIRST=free" "$(hot_keys $VK_FIRST)" || return 1
  run_cfg 0 set TLHWKey 193 && expect "stderr with vexo running" "" "$err" &&
    expect "hot keys after set TLHWKey 193" "$VK_FIRST=taken $VK_SECOND=free" \
      "$(hot_keys $VK_FIRST $VK_SECOND)"
}

check_no_notify_waits_for_next_change() {
  # The option may come after the command's words.
  run_cfg 0 set TLHWKey 194 --no-notify && expect "stderr" "" "$err" &&
    expect "TLHWKey in the registry" "REG_DWORD 0xc2" "$(reg_value TLHWKey)" &&
    expect "hot keys after --no-notify" "$VK_FIRST=taken $VK_SECOND=free" \
      "$(hot_keys $VK_FIRST $VK_SECOND)" || return 1
  # A refused command tells vexo nothing either.
  run_cfg 1 set TLHWKey 300 &&
    expect "hot keys after a refused set" "$VK_FIRST=taken $VK_SECOND=free" \
      "$(hot_keys $VK_FIRST $VK_SECOND)" || return 1
  # Any notified change makes vexo read everything, the earlier change too.
  run_cfg 0 set CompactMode on &&
    expect "hot keys after the next notified change" "$VK_FIRST=free $VK_SECOND=taken" \
      "$(hot_keys $VK_FIRST $VK_SECOND)" || return 1
  run_cfg 0 reset TLHWKey &&
    expect "hot keys after reset" "$VK_FIRST=free $VK_SECOND=free" "$(hot_keys $VK_FIRST $VK_SECOND)"
}

run_vexo_checks() {
  [ -f "$vexo" ] || { fail_setup vexo "no program at $vexo"; return; }
  clear_settings
  rm -f "$work/ready"
  launch shell_pid 150 "$shell_exe" --ready "$(winpath "$work/ready")" --seconds 120
  wait_file "$work/ready" 30 || { fail_setup vexo.shell "the shell did not start"; return; }
  launch vexo_pid 120 "$vexo"
  if probe wait HHTaskBar/VexoClass 30 >/dev/null; then
    check notify.set-reaches-vexo check_set_notifies_vexo
    check notify.no-notify-waits-for-next-change check_no_notify_waits_for_next_change
    probe send HHTaskBar/VexoClass WM_CLOSE >/dev/null
    wait_exit "$vexo_pid" 15 || kill "$vexo_pid" 2>/dev/null
  else
    fail_setup vexo.start "no button under the taskbar 30 s after the start"
  fi
  close_and_wait "$shell_pid" HHTaskBar
}

# ---- the run ---------------------------------------------------------------------------------

began=$(now_ms)
start_watchdog "${VEXOCFG_TIMEOUT:-420}"
shell_exe=${STANDIN_SHELL_EXE:-}
probe_exe=${PROBE_EXE:-}
if [ -z "$shell_exe" ] || [ -z "$probe_exe" ]; then
  tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
    { fail_setup build "the shell or the probe did not build"; finish; exit; }
  shell_exe=${shell_exe:-$tools/standin-shell.exe}
  probe_exe=${probe_exe:-$tools/probe.exe}
fi
[ -f "$cfg_exe" ] || { fail_setup vexocfg "no program at $cfg_exe"; finish; exit; }
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed: $(tail -n 3 "$work/wineboot.log")"; finish; exit; }
# One server for the whole run rather than one per burst of calls; cleanup ends it.
"$wineserver" -p
ready=$(now_ms)

check cfg.help check_help
check cfg.usage-errors check_usage_errors
check cfg.defaults-on-an-empty-registry check_defaults_on_an_empty_registry
check cfg.set-without-vexo check_set_without_vexo
check cfg.set-and-get check_set_and_get
check cfg.reset check_reset
check cfg.refusals-write-nothing check_refusals
check cfg.exceptions check_exceptions
check cfg.ignored-renumbering check_ignored_renumbering
check cfg.list check_list
check cfg.export-bytes check_export_bytes
check cfg.import check_import
check cfg.import-refusals-write-nothing check_import_refusals
run_vexo_checks

done_at=$(now_ms)
echo "time: set-up $(seconds_between "$began" "$ready") s, checks $(seconds_between "$ready" "$done_at") s"
finish
