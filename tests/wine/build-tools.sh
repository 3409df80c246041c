#!/usr/bin/env bash
# Builds the stand-in shell and the probe for Wine with mingw-w64, statically linked, into the
# folder given (default build/wine-tools). Rebuilds only what is older than its sources.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$repo/build/wine-tools}
cxx=${MINGW_CXX:-x86_64-w64-mingw32-g++}
flags=(-std=c++17 -O2 -Wall -Wextra -Werror -Wno-unused-parameter -DUNICODE -D_UNICODE
       -municode -static -s)
mkdir -p "$out"

stale() {  # stale OUTPUT SOURCES...
  local target=$1 source
  shift
  [ -e "$target" ] || return 0
  for source in "$@"; do [ "$source" -nt "$target" ] && return 0; done
  return 1
}

shell_sources=("$repo"/tools/standin_shell/*.cpp)
if stale "$out/standin-shell.exe" "${shell_sources[@]}" "$repo"/tools/standin_shell/*.h; then
  "$cxx" "${flags[@]}" -mwindows -o "$out/standin-shell.exe" "${shell_sources[@]}" -lgdi32
fi
# A console program, so that what it prints reaches the script that runs it.
if stale "$out/probe.exe" "$repo/tests/wine/probe/probe.cpp"; then
  "$cxx" "${flags[@]}" -o "$out/probe.exe" "$repo/tests/wine/probe/probe.cpp" -lgdi32
fi
echo "$out"
