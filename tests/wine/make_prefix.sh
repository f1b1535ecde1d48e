#!/usr/bin/env bash
# Creates a fresh Wine prefix for the tests that need real Wine-written files.
#   make_prefix.sh DIR
# Without Wine it fails: tools/test.sh installs Wine, so a missing Wine is a fault.
set -u
dir=$(realpath -m "$1")
rm -rf "$dir"
mkdir -p "$dir"
command -v wine >/dev/null || { echo "wine is not installed (tools/deps.sh installs it)"; exit 1; }
export WINEPREFIX=$dir WINEDEBUG=-all
wine cmd /c exit >/dev/null 2>&1
wineserver -k 2>/dev/null
wineserver -w
test -f "$dir/system.reg"
