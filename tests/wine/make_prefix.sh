#!/usr/bin/env bash
# Creates a fresh Wine prefix for the tests that need real Wine-written files.
#   make_prefix.sh DIR
# Without Wine it leaves DIR empty and those tests skip.
set -u
dir=$(realpath -m "$1")
rm -rf "$dir"
mkdir -p "$dir"
command -v wine >/dev/null || { echo "wine is not installed; Wine tests will skip"; exit 0; }
export WINEPREFIX=$dir WINEDEBUG=-all
wine cmd /c exit >/dev/null 2>&1
wineserver -k 2>/dev/null
wineserver -w
test -f "$dir/system.reg"
