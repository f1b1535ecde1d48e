#!/usr/bin/env bash
# Builds Quarnel and starts it: on the Wine prefix in WINEPREFIX when that is set,
# otherwise on a scratch copy of a generated demo registry, so nothing real changes.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target quarnel quarnel-genreg

if [ -z "${WINEPREFIX:-}" ]; then
    template=build/demo-registry
    if [ ! -f "$template/system.reg" ]; then
        echo "Generating the demo registry in $template ..."
        rm -rf "$template"
        build/tools/generator/quarnel-genreg --keys 30000 --values-per-key 3.4 --seed 20261207 \
            --registry-dir "$template" >/dev/null
    fi
    scratch=$(mktemp -d -t quarnel-demo.XXXXXX)
    cp "$template"/*.reg "$scratch"/
    echo "Demo registry: $scratch (a scratch copy; set WINEPREFIX to work on a real prefix)"
    export WINEPREFIX="$scratch"
fi
exec build/app/quarnel "$@"
