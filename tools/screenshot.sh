#!/usr/bin/env bash
# Starts Quarnel under a virtual X server, answers the backup warning and saves
# the main window to docs/screenshot.png (the picture in the README).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target quarnel >/dev/null
mkdir -p docs

if [ "${1:-}" != "--inside" ]; then
    # A screen tall enough for the designed place (top 518, height 480).
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside
fi

export QT_QPA_PLATFORM=xcb
build/app/quarnel &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# Both windows carry their captions as X window names.
find_window() {
    for _ in $(seq 1 100); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && {
            echo "$id"
            return 0
        }
        sleep 0.1
    done
    echo "no window named $1" >&2
    return 1
}

warning=$(find_window Warnung)
xdotool windowfocus --sync "$warning" key Return
window=$(find_window Quarnel)
while xdotool search --name '^Warnung$' >/dev/null 2>&1; do sleep 0.1; done
sleep 0.5 # let the window repaint where the box was
import -window "$window" docs/screenshot.png
echo "Saved docs/screenshot.png"
