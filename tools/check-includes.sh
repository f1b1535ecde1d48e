#!/usr/bin/env bash
# Fails when a project include does not name its path from the source root, or when it
# crosses the layering of the product folders (a folder may include from its own and those listed):
#   registry/win32/    the Win32-compatible calls and the key store      -> nothing of ours
#   registry/source/   kinds of registry, sources, the open one, backups -> registry/win32
#   registry/wine/     a Wine prefix's registry files (two kinds)        -> registry/win32, registry/source
#   registry/kinds/    the table of every kind, the openings by kind     -> registry/source, registry/wine and below
#   registry/api/      TRegistry and its compound edits                  -> registry/win32, registry/source
#   registry/text/     display texts                                     -> registry/api and below
#   registry/regfile/  registry editor files                             -> registry/text and below
#   registry/undo/     undo and history                                  -> registry/regfile and below
#   widgets/           the window's widget kit                           -> registry/ (image indexes)
#   app/               TRegForm, its controls, dialogs, window state     -> widgets/, cli/, prefixes/, registry/
#   browser/           TRegForm's key tree, value list, deletions       -> app/, widgets/, registry/
#   search/            the search engine and the window's search run    -> app/, widgets/, prefixes/, registry/
#   results/           the result list; locate drives the browser       -> browser/, search/, app/, widgets/, registry/
#   cli/               the command line (no window)                     -> search/, results/, prefixes/, registry/
#   prefixes/          finding the registries, the settings file        -> registry/
# registry/ includes no Qt either: it also builds for Windows without it; nor do prefixes/ and
# cli/ (a command runs without a display).
# Usage: tools/check-includes.sh [source root]
set -uo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root" || exit 2

# The folders a file of each layer may include from, besides its own.
allowed_from() {
    local registry="registry/win32 registry/wine registry/source registry/kinds registry/api registry/text registry/regfile registry/undo"
    case "$1" in
    registry/win32) echo "" ;;
    registry/source) echo "registry/win32" ;;
    registry/wine) echo "registry/win32 registry/source" ;;
    registry/kinds) echo "registry/win32 registry/source registry/wine" ;;
    registry/api) echo "registry/win32 registry/source" ;;
    registry/text) echo "registry/win32 registry/source registry/api" ;;
    registry/regfile) echo "registry/win32 registry/source registry/api registry/text" ;;
    registry/undo) echo "registry/win32 registry/source registry/api registry/text registry/regfile" ;;
    widgets) echo "$registry" ;;
    app) echo "widgets cli prefixes $registry" ;;
    browser) echo "app widgets $registry" ;;
    search) echo "app widgets prefixes $registry" ;;
    results) echo "browser search app widgets $registry" ;;
    cli) echo "search results prefixes $registry" ;;
    prefixes) echo "$registry" ;;
    *) echo "*" ;;
    esac
}

layer_of() {
    case "$1" in
    registry/*/*) echo "${1%/*}" ;;
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
    app browser cli results search registry prefixes widgets tests bench tools 2>/dev/null)

if ((faults > 0)); then
    echo "$faults include(s) out of order" >&2
    exit 1
fi
echo "includes in order"
