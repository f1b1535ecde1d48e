#!/usr/bin/env bash
# Fails when a project include does not name its path from the source root, or when it
# crosses the layering of the product folders:
#   registry/platform/  the Win32-compatible calls and the Wine files   -> nothing of ours
#   registry/           the registry object and its vocabulary          -> registry/platform/
#   app/                TRegForm, its controls, dialogs, window state    -> prefixes/, registry/
#   browser/            TRegForm's key tree, value list, deletions       -> app/, registry/
#   search/             the search engine and the window's search run    -> app/, prefixes/, registry/
#   results/            the result list; locate drives the browser       -> browser/, search/, app/, registry/
#   cli/                the command line (no window)                     -> search/, results/, prefixes/, registry/
#   prefixes/           finding the registries, the settings file        -> registry/
# registry/ includes no Qt either: it also builds for Windows without it; nor do prefixes/ and
# cli/ (a command runs without a display).
# Usage: tools/check-includes.sh [source root]
set -uo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root" || exit 2

# The folders a file of each layer may include from, besides its own.
allowed_from() {
    case "$1" in
    registry/platform) echo "" ;;
    registry) echo "registry/platform" ;;
    app) echo "cli prefixes registry registry/platform" ;;
    browser) echo "app registry registry/platform" ;;
    search) echo "app prefixes registry registry/platform" ;;
    results) echo "browser search app registry registry/platform" ;;
    cli) echo "search results prefixes registry registry/platform" ;;
    prefixes) echo "registry registry/platform" ;;
    *) echo "*" ;;
    esac
}

layer_of() {
    case "$1" in
    registry/platform/*) echo registry/platform ;;
    */*) echo "${1%%/*}" ;;
    *) echo . ;;
    esac
}

faults=0
fault() {
    echo "$1" >&2
    faults=$((faults + 1))
}

while IFS= read -r hit; do
    file=${hit%%:*} rest=${hit#*:}
    lineno=${rest%%:*} line=${rest#*:}
    [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\">]+) ]] || continue
    kind=${BASH_REMATCH[1]} target=${BASH_REMATCH[2]}
    from=$(layer_of "$file")
    if [[ $kind == '<' ]]; then
        [[ ($from == registry* || $from == cli || $from == prefixes) && $target == Q* ]] &&
            fault "$file:$lineno: includes Qt ($target); $from/ stays free of Qt"
        continue
    fi
    if [[ ! -f $target ]]; then
        fault "$file:$lineno: \"$target\" does not name its path from the source root"
        continue
    fi
    allowed=$(allowed_from "$from") to=$(layer_of "$target")
    [[ $allowed == "*" || $to == "$from" || " $allowed " == *" $to "* ]] && continue
    fault "$file:$lineno: $from/ may not include $target"
done < <(grep -rn --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include' \
    app browser cli results search registry prefixes tests bench tools 2>/dev/null)

if ((faults > 0)); then
    echo "$faults include(s) out of order" >&2
    exit 1
fi
echo "includes in order"
