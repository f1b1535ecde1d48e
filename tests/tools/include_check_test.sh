#!/usr/bin/env bash
# The include check must catch each kind of fault it exists for, and pass a tree in order.
set -uo pipefail
check=$(realpath "$(dirname "$0")/../../tools/check-includes.sh")
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{app,registry/win32,registry/api,results,browser,search,prefixes}
touch "$tree"/app/TRegForm.h "$tree"/registry/api/TRegistry.h "$tree"/results/ResultModel.h \
    "$tree"/prefixes/Settings.h

expect() { # expect <pass|fail> <file> <include line>
    printf '%s\n' "$3" >"$tree/$2"
    if "$check" "$tree" >/dev/null 2>&1; then got=pass; else got=fail; fi
    rm -f "$tree/$2"
    [[ $got == "$1" ]] || { echo "expected $1 for '$3' in $2, got $got" >&2; exit 1; }
}
expect pass browser/A.cpp '#include "app/TRegForm.h"'
expect pass results/A.cpp '#include "registry/api/TRegistry.h"'
expect fail registry/api/A.cpp '#include "app/TRegForm.h"'
expect fail registry/win32/A.cpp '#include "registry/api/TRegistry.h"'
expect fail browser/A.cpp '#include "results/ResultModel.h"'
expect fail search/A.cpp '#include "results/ResultModel.h"'
expect fail registry/api/A.h '#include <QString>'
expect fail results/A.cpp '#include "ResultModel.h"'
expect pass prefixes/A.cpp '#include "registry/api/TRegistry.h"'
expect fail prefixes/A.cpp '#include "app/TRegForm.h"'
expect fail prefixes/A.h '#include <QDir>'
expect pass app/A.cpp '#include "prefixes/Settings.h"'
echo "include check catches what it should"
