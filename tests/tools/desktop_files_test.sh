#!/usr/bin/env bash
# What cmake --install puts beside the program for a Linux desktop: the menu entry
# and the AppStream file, valid by the desktop's own checkers, and the bash
# completion, which offers the commands, a command's options and folders after --prefix.
#   desktop_files_test.sh BUILD_DIR
set -uo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root/usr" >/dev/null || { echo "install failed"; exit 1; }
share=$root/usr/share
faults=0
fault() { echo "$1"; faults=$((faults + 1)); }

metainfo=$share/metainfo/io.github.quarnel.Quarnel.metainfo.xml
desktop=$share/applications/quarnel.desktop
completion=$share/bash-completion/completions/quarnel
for f in "$metainfo" "$desktop" "$completion"; do [ -f "$f" ] || fault "not installed: $f"; done
appstreamcli validate --no-net "$metainfo" || fault "appstreamcli rejects $metainfo"
desktop-file-validate "$desktop" || fault "desktop-file-validate rejects $desktop"
grep -q "<launchable type=\"desktop-id\">quarnel.desktop</launchable>" "$metainfo" ||
    fault "the metainfo does not name the installed desktop file"

complete_words() { # the words offered for the command line "$@" (the last one being typed)
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
             _quarnel; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}
mkdir -p "$root/prefixes/winegame"
[ "$(complete_words quarnel se)" = search ] || fault "no command completed from 'se'"
complete_words quarnel undo --l | grep -qx -- --list || fault "undo's --list not offered"
complete_words quarnel search x --f | grep -qx -- --format || fault "search's --format not offered"
complete_words quarnel import --d | grep -qx -- --dry-run || fault "import's --dry-run not offered"
complete_words quarnel undo --d | grep -q . && fault "undo offered an option it has not"
complete_words quarnel replace a b --re | grep -qx -- --regex || fault "replace's --regex not offered"
complete_words quarnel search x --in n | grep -qx names || fault "no place offered after --in"
[ "$(complete_words quarnel pre)" = prefixes ] || fault "no command completed from 'pre'"
complete_words quarnel search x --a | grep -qx -- --all || fault "search's --all not offered"
complete_words quarnel search x --prefix "$root/prefixes/wi" | grep -qx "$root/prefixes/winegame" ||
    fault "no folder offered after --prefix"
exit $((faults > 0))
