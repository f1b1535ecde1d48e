#!/usr/bin/env bash
# What cmake --install puts beside the program for a Linux desktop: the menu entry
# and the AppStream file, valid by the desktop's own checkers, and the bash
# completion, which offers the commands, a command's options, and ids and folders after --prefix.
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
# offered WORD COMMAND-LINE...: whether WORD is among the words offered. Not a pipe
# into grep -q: it leaves at the first match, and under pipefail the writer's
# SIGPIPE would fail the test now and then.
offered() {
    local word=$1
    shift
    grep -qx -- "$word" <<<"$(complete_words "$@")"
}
mkdir -p "$root/prefixes/winegame"
[ "$(complete_words quarnel se)" = search ] || fault "no command completed from 'se'"
offered --list quarnel undo --l || fault "undo's --list not offered"
offered --format quarnel search x --f || fault "search's --format not offered"
offered --dry-run quarnel import --d || fault "import's --dry-run not offered"
[ -z "$(complete_words quarnel undo --d)" ] || fault "undo offered an option it has not"
offered --regex quarnel replace a b --re || fault "replace's --regex not offered"
offered names quarnel search x --in n || fault "no place offered after --in"
[ "$(complete_words quarnel pre)" = prefixes ] || fault "no command completed from 'pre'"
offered --all quarnel search x --a || fault "search's --all not offered"
offered "$root/prefixes/winegame" quarnel search x --prefix "$root/prefixes/wi" ||
    fault "no folder offered after --prefix"

# Ids after --prefix, as bash splits them at the colon: what follows it is completed.
home=$root/home
for reg in .local/share/Steam/steamapps/compatdata/1245620/pfx .local/share/bottles/bottles/Gaming \
    '.local/share/bottles/bottles/My $(touch pwned) Bottle'; do
    mkdir -p "$home/$reg" && touch "$home/$reg/system.reg" "$home/$reg/user.reg"
done
quarnel=$root/usr/bin/quarnel
ids() { (cd "$root" && HOME=$home XDG_DATA_HOME= XDG_CONFIG_HOME= complete_words "$@"); }
[ "$(ids "$quarnel" search x --prefix steam : 12)" = 1245620 ] || fault "no Steam id after 'steam:12'"
[ "$(ids "$quarnel" --prefix bottles : G)" = Gaming ] || fault "no bottle id after 'bottles:G'"
[ "$(ids "$quarnel" --prefix bottles :)" = "$(printf '%s\n' Gaming 'My\ \$\(touch\ pwned\)\ Bottle')" ] ||
    fault "not every bottle offered after 'bottles:'"
[ "$(ids "$quarnel" --prefix stea)" = steam:1245620 ] || fault "no id offered from 'stea'"
[ ! -e "$root/pwned" ] || fault "a folder's name was run as a command"
exit $((faults > 0))
