#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the project's .clang-format makes of it.
# Usage: tools/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14 # other versions lay out some lines differently
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
    "$format" -i "${files[@]}"
    exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! "$format" --dry-run --Werror "${files[@]}" 2>"$report"; then
    grep -oE '^[^: ]+\.(cpp|h):' "$report" | sort -u | sed 's/:$//; s/^/not formatted: /' >&2
    echo "Format them with: tools/check-format.sh --fix" >&2
    exit 1
fi
echo "formatting in order"
