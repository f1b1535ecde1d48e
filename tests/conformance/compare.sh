#!/usr/bin/env bash
# Runs the conformance trace on our registry layer and, under Wine, on the real
# API, then compares the two line by line. Lines named in the exceptions file
# (answers that depend on Wine's own runtime) are left out of the comparison.
# Usage: compare.sh <native trace program> <windows trace program> <exceptions file>
set -uo pipefail

native=$1
windows=$2
exceptions=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[ -n "$windows" ] && [ -f "$windows" ] ||
    fail "no Windows build of the trace (x86_64-w64-mingw32-g++-posix missing? tools/deps.sh installs it)"
command -v wine >/dev/null || fail "wine is not installed (tools/deps.sh installs it)"

work=$(mktemp -d)
prefix=$(mktemp -d)
cleanup() {
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1
    rm -rf "$work" "$prefix"
}
trap cleanup EXIT

"$native" >"$work/ours.txt" 2>"$work/ours.err" ||
    { cat "$work/ours.err" >&2; fail "the native trace program failed"; }

# A fresh prefix: the first start creates it. No Mono/Gecko installers, no debug output.
WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" \
    wine "$windows" >"$work/wine.raw" 2>"$work/wine.err"
rc=$?
if [ $rc -ne 0 ] || [ ! -s "$work/wine.raw" ]; then
    echo "--- Wine's messages:" >&2
    cat "$work/wine.err" >&2
    fail "the trace program did not run under Wine (exit code $rc)"
fi
tr -d '\r' <"$work/wine.raw" >"$work/wine.txt"

# Both runs end with the check that the scratch keys are gone; a crash stops short of it.
# (No pipe into grep -q under pipefail: the writer may die of SIGPIPE after a match.)
complete() { grep -q '^RegOpenKeyExA(HKCC, "QuarnelConformance"' <<<"$(tail -n 1 "$1")"; }
complete "$work/ours.txt" || { tail -n 5 "$work/ours.txt" >&2; fail "the trace on our layer stopped early"; }
if ! complete "$work/wine.txt"; then
    echo "--- last lines under Wine:" >&2
    grep -v '^   ' "$work/wine.txt" | tail -n 5 >&2
    echo "--- Wine's messages:" >&2
    cat "$work/wine.err" >&2
    fail "the trace under Wine stopped early"
fi

# Each exception line reads "<text in the trace line> ## <reason>".
mask() {
    awk -v list="$exceptions" '
        BEGIN {
            while ((getline line < list) > 0) {
                if (line ~ /^[ \t]*(#|$)/) continue
                split(line, parts, " ## ")
                pat[++n] = parts[1]
            }
        }
        {
            for (i = 1; i <= n; i++)
                if (index($0, pat[i])) { print "(excepted) " pat[i]; next }
            print
        }' "$1"
}
mask "$work/ours.txt" >"$work/ours.cmp"
mask "$work/wine.txt" >"$work/wine.cmp"

lines=$(wc -l <"$work/ours.txt")
if ! diff -u --label "our layer" --label "Wine" "$work/ours.cmp" "$work/wine.cmp"; then
    fail "the traces differ (lines with - are ours, + are Wine's)"
fi
echo "traces equal: $lines lines ($(grep -c '(excepted)' "$work/ours.cmp") excepted)"
