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
    if [ ! -f "$template/system.reg" ] || [ ! -f "$template/needles.txt" ]; then
        echo "Generating the demo registry in $template ..."
        rm -rf "$template" && mkdir -p "$template"
        build/tools/generator/quarnel-genreg --keys 30000 --values-per-key 3.4 --seed 20261207 \
            --registry-dir "$template" | sed -n 's/^needle "\([^"]*\)": \([0-9]*\) rows without.*/\1 \2/p' \
            >"$template/needles.txt"
    fi
    # The window's status line says what to try: a text the generator planted.
    read -r needle rows <"$template/needles.txt" || true
    if [ -n "${needle:-}" ]; then
        export QUARNEL_STATUS="Demo registry: try searching for \"$needle\" ($rows hits)"
        echo "Try searching for \"$needle\" (in the window, or: build/app/quarnel search $needle)"
    fi
    scratch=$(mktemp -d -t quarnel-demo.XXXXXX)
    cp "$template"/*.reg "$scratch"/
    echo "Demo registry: $scratch (a scratch copy; set WINEPREFIX to work on a real prefix)"
    export WINEPREFIX="$scratch"
fi
exec build/app/quarnel "$@"
