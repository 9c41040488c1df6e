#!/bin/sh
# Every command-line tool: called wrongly, it says on standard error what it is for and how to
# call it, and fails with status 2; asked for --help or -h, it says the same on standard output
# and succeeds.
# usage: tool_usage_test.sh TOOL...
set -u
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
fail=0
for tool in "$@"; do
  name=$(basename "$tool")
  "$tool" >"$work/out" 2>"$work/err"
  status=$?
  [ $status -eq 2 ] || { echo "FAIL $name without arguments: status $status"; fail=1; }
  first=$(head -n 1 "$work/err")
  case $first in
    "$name: "?*) ;;
    *) echo "FAIL $name: the usage does not open with what the tool is for: $first"; fail=1 ;;
  esac
  grep -q "usage: $name " "$work/err" || { echo "FAIL $name: no usage line"; fail=1; }
  for help in --help -h; do
    "$tool" $help >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 0 ] || { echo "FAIL $name $help: status $status"; fail=1; }
    grep -q "usage: $name " "$work/out" || { echo "FAIL $name $help: no usage on standard output"; fail=1; }
  done
done
exit $fail
