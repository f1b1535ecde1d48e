#!/usr/bin/env bash
# Takes the README's screenshots of the window, at design size and at twice the scale,
# with the end-to-end driver, and puts them into docs/. Needs a built build/ folder.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/e2e-output
# On the fresh Wine prefix of the tests (ctest makes it), with a search with results.
[ -f build/tests/wine-prefix/system.reg ] || { echo "run the tests first (tools/test.sh)"; exit 1; }
python3 -B tests/e2e/run_e2e.py --quarnel build/app/quarnel --output "$out" \
    --prefix build/tests/wine-prefix \
    "$@" looks_search_1x looks_search_2x
mkdir -p docs
for scale in 1 2; do
    shot=$(ls "$out/looks_search_${scale}x/"*-window-${scale}x.png | tail -1)
    convert "$shot" -strip -define png:exclude-chunks=date,time "docs/quarnel-${scale}x.png"
done
ls -l docs/
