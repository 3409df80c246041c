#!/usr/bin/env bash
# The button faces that hold no text, painted by Wine's GDI (vexo.exe in the stand-in shell)
# and by the simulated device from the same inputs, compared pixel for pixel at 96 dpi: every
# shell generation, with and without a captionless program in front (the X), for every
# combination of OldStyleBkgnd, OldStyleButton and ShowDot.
#
#   tests/wine/faces.sh [VEXO_EXE]     default $VEXO_EXE, else the win32 build's vexo.exe
#
# FACE_RENDER names the sim's face-render (default build/sim/tools/face-render); FACES_KEEP=DIR
# keeps both sides' images there. Prints PASS or FAIL per face, then "N passed, M failed".
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
vexo=${1:-${VEXO_EXE:-$repo/build/win32/tools/vexo.exe}}
face_render=${FACE_RENDER:-$repo/build/sim/tools/face-render}

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

readonly READ_CONFIG=Holmvest::Vexo::Messages::ReadConfig

# The theme table the simulated device seeds at boot, read from its source so that both sides
# always start from the same one, as the REG_BINARY hex text of regedit.
theme_table_hex() {
  local -a table
  local i index r g b
  for i in $(seq 0 40); do table[i]=0; done
  while read -r index r g b; do
    table[index]=$((r | g << 8 | b << 16))
  done < <(sed -n 's/^ *put(\([0-9]*\), RGB(\([0-9]*\), *\([0-9]*\), *\([0-9]*\)));.*/\1 \2 \3 \4/p' \
    "$repo/platform/sim/src/device.cpp")
  local out=""
  for i in $(seq 0 40); do
    local v=${table[i]}
    out+=$(printf '%02x,%02x,%02x,%02x,' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) \
      $((v >> 24 & 255)))
  done
  echo "${out%,}"
}

import_reg() {  # import_reg TEXT
  printf 'REGEDIT4\n\n%s\n\n' "$1" >"$work/import.reg"
  wine_run 60 regedit /S "$(winpath "$work/import.reg")" >/dev/null 2>&1
}

# set_version NAME: the Windows version Wine reports from now on; "default" removes the choice.
set_version() {
  if [ "$1" = default ]; then
    wine_run 60 reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
    return 0
  fi
  wine_run 60 reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
}

shell_pid=""
vexo_pid=""
start_session() {  # start_session PROGRAM: the shell (with that program in front) and vexo
  local args=()
  [ "$1" = none ] || args=(--program "$1")
  rm -f "$work/ready"
  launch shell_pid 600 "$shell_exe" --ready "$(winpath "$work/ready")" --seconds 500 "${args[@]}"
  wait_file "$work/ready" 30 || return 1
  launch vexo_pid 600 "$vexo"
  probe wait HHTaskBar/VexoClass 30 >/dev/null || return 1
  # Wine shows nothing that one process paints into a child of another process's window: the
  # button is moved out of the shell's taskbar, to the same place, before it is captured.
  probe detach HHTaskBar/VexoClass >/dev/null
  # Without a program the desktop is in front, as on the device; the shell's frame window,
  # which the device does not have, would otherwise be.
  [ "$1" != none ] || probe foreground DesktopExplorerWindow:Desktop >/dev/null
}

stop_session() {
  close_and_wait "$vexo_pid" VexoClass
  close_and_wait "$shell_pid" HHTaskBar
}

# capture_faces DIR: every combination of the three settings, each read through the reload
# message, captured as DIR/<bkgnd>-<button>-<dot>.ppm.
capture_faces() {
  local bkgnd button dot
  mkdir -p "$1"
  for bkgnd in 0 1; do
    for button in 0 1; do
      for dot in 0 1; do
        import_reg "$(printf '[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"OldStyleBkgnd"=dword:%08x\n"OldStyleButton"=dword:%08x\n"ShowDot"=dword:%08x' \
          "$bkgnd" "$button" "$dot")"
        probe send VexoClass "$READ_CONFIG" >/dev/null
        probe capture VexoClass "$(winpath "$1/$bkgnd-$button-$dot.ppm")" >/dev/null
      done
    done
  done
}

compare_face() {  # compare_face WINE SIM
  [ -f "$1" ] || { why="no capture under Wine"; return 1; }
  [ -f "$2" ] || { why="no image from the sim"; return 1; }
  why=$(python3 "$here/faces/compare.py" "$1" "$2")
}

# ---- the run ---------------------------------------------------------------------------------

began=$(now_ms)
start_watchdog "${FACES_TIMEOUT:-900}"
[ -f "$vexo" ] || { fail_setup vexo "no program at $vexo"; finish; exit; }
[ -x "$face_render" ] || { fail_setup face-render "no face-render at $face_render"; finish; exit; }
tools=$("$here/build-tools.sh" "${WINE_TOOLS_DIR:-$repo/build/wine-tools}") ||
  { fail_setup build "the shell or the probe did not build"; finish; exit; }
shell_exe=$tools/standin-shell.exe
probe_exe=$tools/probe.exe
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed"; finish; exit; }

import_reg "$(printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Color]\n"SHColor"=hex:%s' \
  "$(theme_table_hex)")" || { fail_setup theme "regedit could not import the theme table"; finish; exit; }
probe syscolors >"$work/syscolors"
[ "$(wc -l <"$work/syscolors")" -gt 20 ] || { fail_setup syscolors "no system colours"; finish; exit; }
width=$(probe screen | cut -d' ' -f1)
dpi=$(probe dpi | cut -d' ' -f1)
[ "$dpi" = 96 ] || { fail_setup dpi "Wine runs at $dpi dpi, not 96"; finish; exit; }
echo "     (screen width $width, $dpi dpi)"
ready=$(now_ms)

# Wine's version name, the OS version the simulated device reports for it, and the face's name.
styles=("nt40 4.20 ce4" "winxp 5.1 ce5" "win2003 5.2 ce52" "default 6.0 other")
for entry in "${styles[@]}"; do
  read -r version os style <<<"$entry"
  set_version "$version" || { fail_setup "face-$style" "could not set Wine's version"; continue; }
  for program in none close; do
    dir="$work/faces/$style-$program"
    if start_session "$program"; then
      capture_faces "$dir/wine"
    else
      fail_setup "face-$style-$program" "the shell or vexo did not start"
    fi
    stop_session
    "$face_render" --os "$os" --width "$width" --syscolors "$work/syscolors" --program "$program" \
      --out "$(mkdir -p "$dir/sim" && echo "$dir/sim")" ||
      fail_setup "face-$style-$program" "face-render failed"
    for image in "$dir"/sim/*.ppm; do
      read -r bkgnd button dot <<<"$(basename "$image" .ppm | tr - ' ')"
      check "face-$style-$([ "$program" = close ] && echo x || echo nox)-bkgnd$bkgnd-button$button-dot$dot" \
        compare_face "$dir/wine/$(basename "$image")" "$image"
    done
  done
done
[ -z "${FACES_KEEP:-}" ] || { mkdir -p "$FACES_KEEP" && cp -r "$work/faces/." "$FACES_KEEP/"; }
echo "time: set-up $(seconds_between "$began" "$ready") s, faces $(seconds_between "$ready" "$(now_ms)") s"
finish
