#!/usr/bin/env bash
# The program's icons as Wine's GDI draws them and as the simulated device does, compared pixel
# for pixel: each icon at 16 and 32 pixels with DI_NORMAL, DI_IMAGE and DI_MASK over a
# checkerboard, the device booted as CE 4.2 and as CE 5.1 (icon-sheet, tools/icon_sheet).
#
#   tests/wine/icons.sh [VEXO_EXE [ICON_SHEET_EXE]]   defaults: the win32 build's
#
# ICON_SHEET names the sim's icon-sheet (default build/sim/tools/icon-sheet); ICONS_KEEP=DIR keeps
# the images there. Prints PASS or FAIL per comparison, then "N passed, M failed".
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
vexo=${1:-$repo/build/win32/tools/vexo.exe}
sheet_exe=${2:-$repo/build/win32/tools/icon-sheet.exe}
sim_sheet=${ICON_SHEET:-$repo/build/sim/tools/icon-sheet}

# shellcheck source=harness.sh source-path=SCRIPTDIR
. "$here/harness.sh"

compare_sheet() {  # compare_sheet WINE SIM
  [ -f "$2" ] || { why="no sheet from the sim"; return 1; }
  why=$(python3 "$here/faces/compare.py" "$1" "$2")
}

began=$(now_ms)
start_watchdog "${ICONS_TIMEOUT:-300}"
for file in "$vexo" "$sheet_exe"; do
  [ -f "$file" ] || { fail_setup files "no $file"; finish; exit; }
done
[ -x "$sim_sheet" ] || { fail_setup files "no icon-sheet at $sim_sheet"; finish; exit; }
start_xvfb || { fail_setup xvfb "Xvfb did not start"; finish; exit; }
make_prefix || { fail_setup prefix "wineboot failed"; finish; exit; }
ready=$(now_ms)

wine_run 60 "$sheet_exe" "$(winpath "$vexo")" "$(winpath "$work/wine.ppm")" \
  >"$work/wine.log" 2>&1 || { fail_setup wine-sheet "$(tr -d '\r' <"$work/wine.log")"; finish; exit; }
for os in 4.20 5.1; do
  "$sim_sheet" --os "$os" "$work/sim-$os.ppm" || why="icon-sheet failed"
  check "icons-ce$os" compare_sheet "$work/wine.ppm" "$work/sim-$os.ppm"
done
[ -z "${ICONS_KEEP:-}" ] || { mkdir -p "$ICONS_KEEP" && cp "$work"/*.ppm "$ICONS_KEEP/"; }
echo "time: set-up $(seconds_between "$began" "$ready") s, icons $(seconds_between "$ready" "$(now_ms)") s"
finish
