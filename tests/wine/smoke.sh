#!/usr/bin/env bash
# The desktop build under Wine, on a virtual X display and in a fresh Wine prefix:
#  - the platform layer's checks (entry point, C runtime printf, process handles, registry
#    access) pass;
#  - vexo.exe, started where no taskbar (window class "HHTaskBar") exists, reads its settings,
#    opens its log, makes no button and ends at once with exit code 0.
# Prints one PASS or FAIL line per check and exits non-zero when any failed.
#
#   tests/wine/smoke.sh [build directory, build/win32 by default]
set -u

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/win32}
vexo=$build/tools/vexo.exe
platform_check=$build/platform/win32/platform_check.exe
# Seconds a program may run before it counts as hung.
limit=${VEXO_WINE_TIMEOUT:-30}

find_tool() {
    local name
    for name in "$@"; do
        if command -v "$name" >/dev/null 2>&1; then
            command -v "$name"
            return 0
        fi
    done
    return 1
}

wine=${WINE64:-$(find_tool wine64 /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64)} || {
    echo "FAIL wine smoke: wine64 not found"
    exit 2
}
wineserver=$(find_tool "$(dirname "$wine")/wineserver64" "$(dirname "$wine")/wineserver" \
    wineserver64 wineserver) || {
    echo "FAIL wine smoke: wineserver not found"
    exit 2
}
command -v Xvfb >/dev/null || {
    echo "FAIL wine smoke: Xvfb not found"
    exit 2
}
for exe in "$vexo" "$platform_check"; do
    [[ -f $exe ]] || {
        echo "FAIL wine smoke: $exe missing (cmake --preset win32 && cmake --build --preset win32)"
        exit 2
    }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vexo-smoke.XXXXXX")
xvfb_pid=
cleanup() {
    if [[ -d $work/prefix ]]; then
        WINEPREFIX=$work/prefix "$wineserver" -k >/dev/null 2>&1
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and writes its number to the given descriptor.
Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
[[ -s $work/display ]] || {
    echo "FAIL wine smoke: Xvfb did not start"
    cat "$work/xvfb.log"
    exit 1
}

export DISPLAY=:$(head -n1 "$work/display")
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, which would wait for a click, and no menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Milliseconds, and seconds to a tenth, since a time taken with now.
now() { date +%s%N; }
millis_since() { echo $((($(now) - $1) / 1000000)); }
seconds_since() {
    local ms
    ms=$(millis_since "$1")
    printf '%d.%d' $((ms / 1000)) $((ms % 1000 / 100))
}

started=$(now)
if ! timeout "$limit" "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
    echo "FAIL wine smoke: the Wine prefix could not be made"
    cat "$work/wineboot.log"
    exit 1
fi
echo "wine prefix ready in $(seconds_since "$started") s"

failed=0
pass() { echo "PASS $1"; }
fail() {
    echo "FAIL $1"
    failed=1
}

# Runs a program under Wine, bounded in time; sets status and output.
run() {
    output=$(timeout "$limit" "$wine" "$@" 2>&1)
    status=$?
}

run "$platform_check" "two words" plain
if [[ $status -eq 0 ]]; then
    pass "platform layer: $(tail -n1 <<<"$output")"
else
    fail "platform layer (exit code $status)"
    echo "$output"
fi

# The log is the evidence that vexo really ran its start-up, not just that Wine returned.
cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Holmvest\Vexo]
"LogLevel"=dword:00000005
"LogFile"="C:\\vexo.log"
EOF
# Wine's drive Z: is the Unix root.
run reg import "Z:${work//\//\\}\\settings.reg"
[[ $status -eq 0 ]] || fail "the settings could not be imported: $output"

log=$WINEPREFIX/drive_c/vexo.log
begin=$(now)
run "$vexo"
took=$(millis_since "$begin")
if [[ $status -eq 124 ]]; then
    fail "vexo without a taskbar did not end within $limit s"
elif [[ $status -ne 0 ]]; then
    fail "vexo without a taskbar ended with exit code $status"
    echo "$output"
elif [[ ! -f $log ]]; then
    fail "vexo without a taskbar ended with 0 but never opened its log"
elif grep -q "OnCreate()" "$log"; then
    fail "vexo without a taskbar made a button window"
    cat "$log"
else
    pass "vexo without a taskbar ends with exit code 0 in $took ms"
fi

exit $failed
