#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get, starts the command of the installed
# menu entry in a private X server, checks that the window and the backup warning show,
# and removes the package again. Needs root (apt-get) and an existing build/ folder.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target quarnel
(cd build && cpack -G DEB >/dev/null)
# The newest; head would leave early and, under pipefail, ls's SIGPIPE end the script.
deb=$(ls -t build/quarnel_*.deb | sed -n 1p)
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "./$deb" >/dev/null
trap 'apt-get remove -y -qq quarnel >/dev/null' EXIT

desktop=/usr/share/applications/quarnel.desktop
command=$(sed -n 's/^Exec=//p' "$desktop")
echo "menu entry runs: $command"
[ -f /usr/share/icons/hicolor/48x48/apps/quarnel.png ] || { echo "icon not installed"; exit 1; }
[ -f /usr/share/metainfo/io.github.quarnel.Quarnel.metainfo.xml ] || { echo "metainfo not installed"; exit 1; }
[ -f /usr/share/bash-completion/completions/quarnel ] || { echo "completion not installed"; exit 1; }
grep -q '^quarnel ' <<<"$(quarnel --version)" || { echo "quarnel --version failed"; exit 1; }

scratch=$(mktemp -d)
shot=build/package-start.png
# A scratch home, so that the check never touches the user's own registry.
env -u WINEPREFIX HOME="$scratch" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch" \
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    '"$command"' & pid=$!
    for _ in $(seq 100); do
        xdotool search --all --onlyvisible --pid $pid --name "^Warnung" >/dev/null && break
        sleep 0.2
    done
    xdotool search --all --onlyvisible --pid $pid --name "^Quarnel$" >/dev/null
    found=$?
    import -window root '"$shot"'
    kill $pid
    exit $found' && echo "started: window and backup warning shown ($shot)"
rm -rf "$scratch"
