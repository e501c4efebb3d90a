#!/usr/bin/env bash
# Installs the build for one user into a temporary home and checks what a
# desktop sees: the desktop entries, MIME package and metainfo pass their
# validators (the metainfo states the changelog's release, the entries' texts
# are translated), the "Open With" entry is offered for ZIP archives but the
# install makes it no default, an .ezc file (by name, and a misnamed
# one by its header) has our type and opens with our main entry (xdg-open
# shows the password dialog on an X server), the manual page says what
# --help says; then
# "vaultpack -u" leaves no installed file behind and no other program's
# association changed. A staged install (DESTDIR) writes no caches.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail

build=$(realpath "$1")
source "$(dirname "$0")/test_support.sh"
require_tools desktop-file-validate update-mime-database appstreamcli xmllint xdg-mime mimetype man Xvfb xdotool
expect_equal() {  # what, expected, actual
  [[ $2 == "$3" ]] || fail "$1: expected '$2', got '$3'"
}

export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_DIRS=$XDG_DATA_HOME:/usr/share
unset DESTDIR
share=$XDG_DATA_HOME
id=org.vaultpack.Vaultpack
type=application/x-vaultpack-encrypted
# Each desktop entry and the arguments its Exec gives the program.
declare -A entry_arguments=([$id.desktop]="-d %f" [${id}Open.desktop]="--open %f")
mkdir -p "$XDG_CONFIG_HOME" "$share/applications"
# Another program's entry and defaults, which must survive the uninstall.
printf '[Desktop Entry]\nType=Application\nName=Other\nExec=other %%f\nMimeType=application/zip;\n' \
  >"$share/applications/other.desktop"
printf '# kept\n[Default Applications]\ntext/plain=other.desktop\napplication/zip=%s.desktop\n[Added Associations]\napplication/zip=other.desktop;\n' \
  "$id" >"$XDG_CONFIG_HOME/mimeapps.list"

cp "$XDG_CONFIG_HOME/mimeapps.list" "$work/mimeapps.before"

cmake --install "$build" --prefix "$HOME/.local" >"$work/install.log"
cp "$build/install_manifest.txt" "$work/manifest"

# Validators; each entry starts the installed program and is in the manifest,
# which the uninstall is checked against below.
for name in "${!entry_arguments[@]}"; do
  entry=$share/applications/$name
  desktop-file-validate "$entry" || fail "desktop-file-validate $name"
  grep -qxF "Exec=$HOME/.local/bin/vaultpack ${entry_arguments[$name]}" "$entry" ||
    fail "$name does not start the installed program with ${entry_arguments[$name]}"
  grep -qxF "$entry" "$work/manifest" || fail "$name is not in the install manifest"
done
mime_errors=$(update-mime-database "$share/mime" 2>&1) || fail "update-mime-database failed"
[[ -z $mime_errors ]] || fail "update-mime-database: $mime_errors"
xmllint --noout "$share/mime/packages/$id.xml" "$share/metainfo/$id.metainfo.xml" || fail "xmllint"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/appstream.log")"

# The metainfo's release is the Debian changelog's first entry, and the
# entry's keywords are translated as its name and comment are.
changelog=$(dirname "$0")/../../desktop/debian/changelog
release_version=$(sed -n '1s/^vaultpack (\(.*\)-[^-]*).*/\1/p' "$changelog")
release_date=$(date -d "$(sed -n 's/^ -- .*>  [A-Za-z]*, \([0-9]* [A-Za-z]* [0-9]*\) .*/\1/p' "$changelog" | head -n 1)" +%F)
grep -qF "<release version=\"$release_version\" date=\"$release_date\"/>" "$share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's release is not $release_version of $release_date"
for key_entry in "Keywords $id.desktop" "Name ${id}Open.desktop"; do
  read -r key name <<<"$key_entry"
  english=$(sed -n "s/^$key=//p" "$share/applications/$name")
  for locale in zh_TW ja zh_CN; do
    translated=$(sed -n "s/^$key\[$locale\]=//p" "$share/applications/$name")
    [[ -n $translated && $translated != "$english" ]] || fail "$key[$locale] of $name is missing or untranslated"
  done
done

# The "Open With" entry: hidden from the menu, offered for ZIP archives and
# containers, and no default: the install leaves mimeapps.list alone, and the
# .ezc default below stays the menu entry.
open_entry=$share/applications/${id}Open.desktop
grep -qxF "NoDisplay=true" "$open_entry" || fail "the Open With entry is shown in the menu"
for offered in application/zip "$type"; do
  grep -q "^$offered=.*${id}Open\.desktop" "$share/applications/mimeinfo.cache" ||
    fail "the desktop database does not offer the Open With entry for $offered"
done
cmp -s "$work/mimeapps.before" "$XDG_CONFIG_HOME/mimeapps.list" || fail "the install changed mimeapps.list"

# The type by name and by header; the header of another version is not ours.
printf 'EZC\002rest of a header' >"$work/named.ezc"
cp "$work/named.ezc" "$work/misnamed.bin"
printf 'EZC\003rest of a header' >"$work/version3.bin"
expect_equal "type of named.ezc" "$type" "$(xdg-mime query filetype "$work/named.ezc")"
expect_equal "type of misnamed.bin" "$type" "$(xdg-mime query filetype "$work/misnamed.bin")"
[[ $(xdg-mime query filetype "$work/version3.bin") != "$type" ]] || fail "a version 3 header taken for ours"
expect_equal "default for $type" "$id.desktop" "$(xdg-mime query default "$type")"

# The manual page names every option that --help names, and man reads it without a warning.
help_options=$("$HOME/.local/bin/vaultpack-cli" --help | grep -o -- '--[a-z-]*' | sort -u)
page=$(MANWIDTH=200 man --warnings -l "$share/man/man1/vaultpack-cli.1.gz" 2>"$work/man.log")
[[ ! -s $work/man.log ]] || fail "man warns: $(cat "$work/man.log")"
for option in $help_options; do
  grep -q -- "$option" <<<"$page" || fail "the manual page lacks $option"
done
MANWIDTH=80 man --warnings -l "$share/man/man1/vaultpack.1.gz" >/dev/null 2>"$work/man.log"
[[ ! -s $work/man.log ]] || fail "man warns on vaultpack.1: $(cat "$work/man.log")"

# The completion offers the commands and a command's options.
complete_words() {  # words of the command line, the last one being completed
  bash -c 'source "$0"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vaultpack_cli; echo "${COMPREPLY[*]}"' \
    "$share/bash-completion/completions/vaultpack-cli" vaultpack-cli "$@"
}
expect_equal "completion of 'de'" "decrypt" "$(complete_words de)"
expect_equal "completion of 'unzip --'" "--password-file --overwrite --keep-going --help" "$(complete_words unzip --)"
expect_equal "completion after --overwrite" "ask yes no" "$(complete_words create --overwrite '')"

# What a file manager does on a double-click, xdg-open does: open the file
# with its type's default application. On an X server that shows the
# password dialog of the installed program.
printf 'secret\n' >"$work/password"
"$HOME/.local/bin/vaultpack-cli" create --encrypt --password-file "$work/password" "$work/secret.ezc" \
  "$work/password" >/dev/null
mkdir -m 700 "$work/runtime"
opened=$(XDG_RUNTIME_DIR=$work/runtime LANG=C.UTF-8 QT_QPA_PLATFORM=xcb "$(dirname "$0")/../support/with_x_server.sh" bash -c '
  xdg-open "$1" 2>/dev/null &
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Decryption Password\$" | head -n 1)
  [[ -n $window ]] && echo opened && kill "$(xdotool getwindowpid "$window")"
' _ "$work/secret.ezc") || true
expect_equal "double-click on an .ezc file" "opened" "$opened"

# Uninstall without a display: the work is done, the final message and the
# reason no box came go to standard error, status 1; then the program files
# are gone once it has ended.
before_other=$(cat "$share/applications/other.desktop")
status=0
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 \
  "$HOME/.local/bin/vaultpack" -u \
  >"$work/uninstall.out" 2>"$work/uninstall.err") || status=$?
expect_equal "status of -u without a display" 1 "$status"
expect_equal "output of -u without a display" "" "$(cat "$work/uninstall.out")"
expect_equal "message of -u without a display" "Program Uninstalled" "$(head -n 1 "$work/uninstall.err")"
grep -q "there is no display" "$work/uninstall.err" || fail "-u did not say why no box came: $(cat "$work/uninstall.err")"
for _ in $(seq 50); do
  [[ -e $HOME/.local/bin/vaultpack ]] || break
  sleep 0.2
done
while read -r file; do
  [[ ! -e $file ]] || fail "left behind by -u: $file"
done <"$work/manifest"
expect_equal "another program's entry" "$before_other" "$(cat "$share/applications/other.desktop")"
expect_equal "mimeapps.list after -u" \
  "$(printf '# kept\n[Default Applications]\ntext/plain=other.desktop\n[Added Associations]\napplication/zip=other.desktop;')" \
  "$(cat "$XDG_CONFIG_HOME/mimeapps.list")"
expect_equal "default for $type after -u" "" "$(xdg-mime query default "$type")"
[[ ! -e $share/mime/application/x-vaultpack-encrypted.xml ]] || fail "the MIME database still knows the type"
grep -q "$id" "$share/applications/mimeinfo.cache" && fail "the desktop database still names our entry"

# Uninstall from a menu or a file manager, whose output goes to a log: with a
# display the message comes in a box, and nothing is written to the log.
cmake --install "$build" --prefix "$HOME/.local" >"$work/reinstall.log"
boxed=$(XDG_RUNTIME_DIR=$work/runtime LANG=C.UTF-8 QT_QPA_PLATFORM=xcb "$(dirname "$0")/../support/with_x_server.sh" bash -c '
  cd "$2" && "$1" -u >"$2/uninstall.log" 2>&1 &
  program=$!
  box=$(timeout 20 xdotool search --sync --onlyvisible --name "^Information\$" | head -n 1)
  [[ -n $box ]] && xdotool windowfocus --sync "$box" key Return
  timeout 20 tail --pid="$program" -f /dev/null && wait "$program" && [[ -n $box ]] && echo boxed
' _ "$HOME/.local/bin/vaultpack" "$work") || true
expect_equal "-u with its output in a log" "boxed" "$boxed"
expect_equal "log of -u with a display" "" "$(cat "$work/uninstall.log")"

# A staged install: the entry names the final place (quoted in Exec, where a
# blank would split it), and no cache is written.
staged=$work/stage/opt/vault\ pack
DESTDIR=$work/stage cmake --install "$build" --prefix "/opt/vault pack" >"$work/stage.log"
for name in "${!entry_arguments[@]}"; do
  entry=$staged/share/applications/$name
  desktop-file-validate "$entry" || fail "desktop-file-validate on the staged $name"
  grep -qxF "Exec=\"/opt/vault pack/bin/vaultpack\" ${entry_arguments[$name]}" "$entry" ||
    fail "the staged $name's Exec does not start /opt/vault pack/bin/vaultpack"
  grep -qxF 'TryExec=/opt/vault pack/bin/vaultpack' "$entry" ||
    fail "the staged $name's TryExec does not name /opt/vault pack/bin/vaultpack"
done
[[ ! -e $staged/share/mime/mime.cache && ! -e $staged/share/applications/mimeinfo.cache ]] ||
  fail "a staged install wrote caches"

finish "install test"
