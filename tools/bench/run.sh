#!/usr/bin/env bash
# Counts the program's own instructions (callgrind, deterministic) and GDI calls for its
# everyday work on the simulated device, and prints the change against docs/bench.txt;
# BENCH_UPDATE=1 rewrites that file with the new figures.
#
# The benches mark each phase; callgrind dumps it. Instructions are the self cost of functions
# whose source lies in the program's folders (shell, tasks, menu, button, device, config): what
# the device, the C runtime and the bench do for the program is left out.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
bin="${BENCH_BIN:-$root/build/sim/tools}"
figures="$root/docs/bench.txt"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Runs one bench under callgrind; appends "phase gdi-calls" lines to $work/gdi.
run() {
    local name="$1"
    shift
    valgrind --tool=callgrind --callgrind-out-file="$work/$name.out" "$@" 2>/dev/null |
        sed -n 's/^phase \([^:]*\): \([0-9]*\) GDI calls$/\1 \2/p' >>"$work/gdi"
}

run gesture "$bin/gesture-bench" --ticks 1 --taps 1
run menu10 "$bin/menu-bench" --tasks 10 --openings 1
run menu128 "$bin/menu-bench" --tasks 128 --openings 1
run switcher "$bin/gesture-bench" --switcher 10

declare -A instructions
for dump in "$work"/*.out.*; do
    phase="$(sed -n 's/^desc: Trigger: Client Request: //p' "$dump")"
    [[ -n "$phase" ]] || continue
    instructions[$phase]="$(callgrind_annotate --auto=no --inclusive=no --threshold=100 "$dump" 2>/dev/null |
        grep -E '(^|/)(shell|tasks|menu|button|device|config)/[A-Za-z_]+\.(cpp|h):' |
        awk '{ gsub(",", "", $1); sum += $1 } END { print sum + 0 }')"
done

declare -A gdi
while read -r phase calls; do gdi[$phase]="$calls"; done <"$work/gdi"

declare -A oldInstructions oldGdi
if [[ -f "$figures" ]]; then
    while read -r phase ins calls; do
        [[ "$phase" == \#* || -z "$phase" ]] && continue
        oldInstructions[$phase]="$ins"
        oldGdi[$phase]="$calls"
    done <"$figures"
fi

change() {
    local new="$1" old="${2:-}"
    if [[ -z "$old" || "$old" == "-" ]]; then
        echo "new"
    elif [[ "$new" == "-" ]]; then
        echo "gone"
    elif [[ "$old" == 0 ]]; then
        [[ "$new" == 0 ]] && echo "+0" || echo "+$new"
    else
        awk -v n="$new" -v o="$old" 'BEGIN { printf "%+d (%+.1f%%)", n - o, 100 * (n - o) / o }'
    fi
}

phases=(startup tick tap menu10 menu128 switcher)
describe() {
    case "$1" in
    startup) echo "start-up to the visible button" ;;
    tick) echo "an idle watch tick" ;;
    tap) echo "a tap that closes the program in front" ;;
    menu10) echo "the menu opened with 10 tasks" ;;
    menu128) echo "the menu opened with 128 tasks" ;;
    switcher) echo "one switcher paint" ;;
    esac
}

printf '%-40s %12s %22s %10s %14s\n' "" "instructions" "change" "GDI calls" "change"
out="# phase instructions gdi-calls: the program's own instructions (callgrind) and GDI calls, sim build
# written by tools/bench/run.sh (make bench BENCH_UPDATE=1); '-' for a phase not measured yet"
for phase in "${phases[@]}"; do
    ins="${instructions[$phase]:--}"
    calls="${gdi[$phase]:--}"
    if [[ "$ins" == "-" ]]; then
        printf '%-40s %12s\n' "$(describe "$phase")" "not measured: the program has no such phase yet"
    else
        printf '%-40s %12s %22s %10s %14s\n' "$(describe "$phase")" "$ins" \
            "$(change "$ins" "${oldInstructions[$phase]:-}")" "$calls" \
            "$(change "$calls" "${oldGdi[$phase]:-}")"
    fi
    out+=$'\n'"$phase $ins $calls"
done

if [[ "${BENCH_UPDATE:-0}" == 1 ]]; then
    echo "$out" >"$figures"
    echo "bench: wrote $figures"
fi
