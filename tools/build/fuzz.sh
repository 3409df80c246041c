#!/usr/bin/env bash
# Builds the fuzz targets with clang in build/fuzz and runs each for a bounded time on its seed
# corpus, one after the other: FUZZ_SECONDS (default 20) per target. Fails when a target finds a crash, a leak or a
# broken invariant; the input that did it is left in build/fuzz/artifacts.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
seconds="${FUZZ_SECONDS:-20}"
jobs="${JOBS:-2}"

clangxx="$(command -v clang++ || true)"
clang="$(command -v clang || true)"
if [[ -z "$clangxx" || -z "$clang" ]]; then
    echo "fuzz: clang is not installed; the fuzz targets are skipped"
    exit 0
fi

generator=()
if command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
cmake -S "$root/tests/fuzz" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER="$clang" -DCMAKE_CXX_COMPILER="$clangxx" >/dev/null
cmake --build "$build" --target language_fuzz regedit4_fuzz settings_fuzz cesetup_fuzz -j "$jobs"

run() {
    local target="$1" seeds="$root/tests/fuzz/corpus/$2"
    # New inputs go to a working corpus in the build folder; the seeds in the tree stay as
    # they are.
    local corpus="$build/corpus/$2"
    mkdir -p "$corpus" "$build/artifacts"
    echo "fuzz: $target for ${seconds}s"
    "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 \
        "$corpus" "$seeds"
}

run language_fuzz language
run regedit4_fuzz regedit4
run settings_fuzz settings
run cesetup_fuzz cesetup
