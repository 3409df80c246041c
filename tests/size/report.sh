#!/usr/bin/env bash
# The size report of the build: its section sizes are the linker's (as objdump reads them), and
# a binary past its budget fails and is removed while one exactly at it passes.
#
#   tests/size/report.sh PROGRAM.exe OBJDUMP
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
script=$here/../../cmake/ReportSize.cmake
program=$1
objdump=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

line=$(cmake -DFILE="$program" -P "$script" 2>&1) || fail "the report failed: $line"
echo "$line"
# objdump -h: "Idx Name Size VMA LMA File-off Algn", the size in hex; .bss has no file contents.
while read -r _ name size _ _ offset _; do
  [ "$offset" = 00000000 ] && continue
  grep -q ", $name $((16#$size))\(,\|$\)" <<<"$line" || fail "$name: objdump says $((16#$size))"
done < <("$objdump" -h "$program" | grep -E '^ +[0-9]+ ')

size=$(stat -c %s "$program")
# budget, whether the build passes, whether the file is still there
for row in "$size pass kept" "$((size - 1)) fail removed" "$((size + 4096)) pass kept"; do
  read -r budget want keep <<<"$row"
  cp "$program" "$work/copy.exe"
  if cmake -DFILE="$work/copy.exe" -DBUDGET="$budget" -P "$script" >"$work/out" 2>&1; then
    got=pass
  else
    got=fail
  fi
  [ -e "$work/copy.exe" ] && left=kept || left=removed
  [ "$got $left" = "$want $keep" ] || fail "budget $budget: $got and $left, expected $want and $keep"
done
grep -q "is 1 bytes over its budget of $((size - 1)) bytes" <<<"$(
  cp "$program" "$work/copy.exe"
  cmake -DFILE="$work/copy.exe" -DBUDGET=$((size - 1)) -P "$script" 2>&1
)" || fail "no message naming the excess"

[ "$failed" = 0 ] && echo "PASS"
exit "$failed"
