#!/usr/bin/env bash
# The desktop program as a person uses it: the built vaultpack on a real X
# server (Xvfb, the xcb platform, no window manager), driven only through the
# X server with xdotool (keys, mouse clicks, window focus and raise), results
# checked on disk. Modality, focus and the window system take part here,
# which a widget call in a unit test bypasses.
# Usage: real_input_test.sh VAULTPACK VAULTPACK_CLI
set -euo pipefail

wait_limit=60  # seconds for any one window to appear or go, or the program to end
here=$(dirname "$(realpath "$0")")

if [[ ${1-} != --on-display ]]; then
  for tool in Xvfb xdotool xclip timeout python3 zip; do
    if ! command -v "$tool" >/dev/null; then
      echo "FAIL: $tool is missing (scripts/install-deps.sh test installs it)" >&2
      exit 1
    fi
  done
  exec "$here/../support/with_x_server.sh" "$0" --on-display "$@"
fi
shift
vaultpack=$(realpath "$1")
cli=$(realpath "$2")

# Large outputs of stopped jobs go to the disk, not to memory.
work=$(mktemp -d "${TMPDIR:-/tmp}/vaultpack-real-input.XXXXXX")
program=
load=()  # processes that keep the machine busy
cleanup() {
  if [[ -n $program ]] && kill -0 "$program" 2>/dev/null; then
    kill -9 "$program" 2>/dev/null || true
  fi
  ((${#load[@]} == 0)) || kill "${load[@]}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -m 700 "$work/home" "$work/runtime" "$work/tmp"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp LANG=C.UTF-8 QT_QPA_PLATFORM=xcb
unset LC_ALL LC_MESSAGES LANGUAGE

fail() {
  echo "FAIL: $*" >&2
  echo "Windows on the display:" >&2
  xdotool search --onlyvisible --name . getwindowname %@ >&2 2>/dev/null || true
  echo "The program's error output:" >&2
  cat "$work/errors" >&2 2>/dev/null || true
  exit 1
}

# The id of the visible window titled exactly $1 (a title whose only pattern
# characters are dots), as soon as it is there; a window whose id is $2 does
# not count (the builder has the main window's title).
window_titled() {
  local pattern="^${1//./\\.}\$" id deadline=$((SECONDS + wait_limit))
  while ((SECONDS < deadline)); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | grep -v -x -e "${2:-none}" | head -n 1) || true
    if [[ -n $id ]]; then
      echo "$id"
      return
    fi
    sleep 0.05
  done
  fail "no window titled \"$1\" within ${wait_limit}s"
}

# Waits until no visible window is titled exactly $1.
window_gone() {
  local pattern="^${1//./\\.}\$" deadline=$((SECONDS + wait_limit))
  while ((SECONDS < deadline)); do
    xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
    sleep 0.05
  done
  fail "the window \"$1\" is still there after ${wait_limit}s"
}

# Gives the window the keyboard (there is no window manager) and presses keys.
press() {
  local window=$1
  shift
  xdotool windowraise "$window" windowfocus --sync "$window" || fail "could not focus window $window"
  xdotool "$@"
}

# Clicks the Cancel button of a progress window: centred at its bottom.
click_cancel() {
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
  xdotool windowraise "$1" mousemove --window "$1" $((WIDTH / 2)) $((HEIGHT - 25)) click 1
}

# Clicks a window at $2 pixels from its right edge and $3 from its bottom,
# holding the button down for a tenth of a second as a person's click does.
click_at() {
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
  xdotool mousemove --window "$1" $((WIDTH - $2)) $((HEIGHT - $3)) mousedown 1 sleep 0.1 mouseup 1
}

# Clicks the middle of a window (the main window's Decrypt File button).
click_middle() {
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
  xdotool windowraise "$1" mousemove --window "$1" $((WIDTH / 2)) $((HEIGHT / 2)) click 1
}

# Presses the builder's Create Archive button from its list, which a click in
# the middle of the window focuses, whichever control had the focus before,
# and returns the options dialog. Right after a file dialog has closed, Qt
# sometimes drops the keys of the first try under load (seen only with other
# tests filling the disk), so a person's second try follows when no dialog
# came; once it is up, it blocks the builder and a second try does nothing.
# A key that landed on Add Files instead opened a file dialog, which the
# person closes before trying again.
create_in_builder() {
  local try options stray
  for try in 1 2 3; do
    click_middle "$1"
    press "$1" key shift+Tab key space
    options=$(wait_limit=5 window_titled "Create Archive" 2>/dev/null) && break
    if stray=$(wait_limit=1 window_titled "Open" 2>/dev/null); then
      press "$stray" key Escape
      window_gone "Open"
    fi
  done
  [[ -n $options ]] || options=$(window_titled "Create Archive")
  echo "$options"
}

# Types a path into the focused file dialog's name field and accepts it.
choose_in_file_dialog() {
  local dialog
  dialog=$(window_titled "$1")
  press "$dialog" key ctrl+a type --delay 5 "$2"
  xdotool key Return
  window_gone "$1"
}

# Fails unless the message box $1 says $2: Ctrl+C copies a box's text to the
# clipboard, which is read while the box, its owner, is still open.
expect_box_says() {
  local deadline=$((SECONDS + wait_limit))
  press "$1" key ctrl+c
  until xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null | grep -qxF -- "$2"; do
    ((SECONDS < deadline)) ||
      fail "the box does not say \"$2\": $(xclip -o -selection clipboard -t UTF8_STRING 2>&1)"
    sleep 0.05
  done
}

start() {
  "$vaultpack" "$@" 2>"$work/errors" &
  program=$!
}

# Starts the program, opens the builder from the main window and adds the
# file $1 with its file dialog; sets main and builder to their windows.
start_builder_with() {
  start
  main=$(window_titled "$main_title")
  press "$main" key space
  builder=$(window_titled "$main_title" "$main")
  press "$builder" key space  # Add Files has the focus first
  choose_in_file_dialog "Open" "$1"
}

# Waits for the program to end with the status $2.
expect_exit() {
  local status=0
  timeout "$wait_limit" tail --pid="$program" -f /dev/null || fail "$1: the program is still running"
  wait "$program" || status=$?
  program=
  [[ $status -eq $2 ]] || fail "$1: exit status $status, expected $2"
}

# Fails when the folder holds anything but entries of long.zip written whole
# (3 GiB each): a stopped unzip keeps the entries it finished, nothing else.
expect_only_whole_entries() {
  local file
  for file in "$1"/* "$1"/.[!.]*; do
    [[ -e $file ]] || continue
    [[ $file == "$1"/part[1-4].bin && $(stat -c %s "$file") -eq $((3 << 30)) ]] ||
      fail "$2: $file is left in $1"
  done
}

# Fails when the folder holds anything but the names given after it.
expect_only() {
  local folder=$1 what=$2
  shift 2
  local found
  found=$(cd "$folder" && find . -mindepth 1 -maxdepth 1 -printf '%P\n' | sort | tr '\n' ' ')
  local wanted=
  if (($#)); then
    wanted=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
  fi
  [[ $found == "$wanted" ]] || fail "$what: $folder holds [$found], expected [$wanted]"
}

main_title="Vaultpack - v1.05"
password=Smoke2Test
printf '%s\n' "$password" >"$work/password"
mkdir "$work/source" "$work/decrypt" "$work/long" "$work/out"
printf 'first line\nsecond line: 0123456789\n' >"$work/source/note.txt"
(cd "$work/source" && "$cli" create --encrypt --password-file "$work/password" "$work/decrypt/sample.ezc" note.txt) \
  >/dev/null || fail "vaultpack-cli could not make the container"
python3 "$here/make_long_inputs.py" "$work/decrypt/sample.ezc" "$work/long" || fail "could not make the long inputs"

# 1. The main window opens with its title and closes with Escape.
start
main=$(window_titled "$main_title")
press "$main" key Escape
expect_exit "closing the main window" 0

# 2. Decrypt at start: the password asked, the file restored, the program ends.
cd "$work/decrypt"
start -d sample.ezc
asking=$(window_titled "Decryption Password")
press "$asking" type --delay 20 "$password"
xdotool key Return
press "$(window_titled "Information")" key Return
expect_exit "after the Information box" 0
cmp -s "$work/source/note.txt" "$work/decrypt/note.txt" || fail "note.txt was not restored with its content"

# 3. Stopping a decryption of almost 4 GiB, by a click on Cancel, by Escape
# and by Space on the Cancel button, which has the focus: the program ends at
# once and leaves no plaintext, not even in part.
cd "$work/long"
for way in click Escape space; do
  start -d huge.ezc
  press "$(window_titled "Decryption Password")" type --delay 20 "$password"
  xdotool key Return
  progress=$(window_titled "Decrypting Progress")
  if [[ $way == click ]]; then click_cancel "$progress"; else press "$progress" key "$way"; fi
  expect_exit "decryption stopped by $way" 0
  expect_only "$work/long" "decryption stopped by $way" big.bin huge.ezc long.zip
done

# 4. A signal during the decryption: the partial plaintext, seen growing
# before the signal, goes; status 128 + 15. It is the program's open file in
# that folder other than the container: unnamed where the file system
# allows, else under a temporary name.
partial_plaintext_bytes() {
  local fd target largest=0 size
  for fd in /proc/"$program"/fd/*; do
    target=$(readlink "$fd" 2>/dev/null) || continue
    [[ $target == "$work/long/"* && $target != "$work/long/huge.ezc" ]] || continue
    size=$(stat -L -c %s "$fd" 2>/dev/null) || continue
    ((size > largest)) && largest=$size
  done
  echo "$largest"
}
start -d huge.ezc
press "$(window_titled "Decryption Password")" type --delay 20 "$password"
xdotool key Return
window_titled "Decrypting Progress" >/dev/null
deadline=$((SECONDS + wait_limit))
until (($(partial_plaintext_bytes) > 1048576)); do
  ((SECONDS < deadline)) || fail "no partial plaintext appeared during the decryption"
  sleep 0.05
done
kill -TERM "$program"
expect_exit "SIGTERM during the decryption" 143
expect_only "$work/long" "SIGTERM during the decryption" big.bin huge.ezc long.zip

# 5. Unzip from the main window, stopped by a click and by Escape on its
# progress window while the builder, a window-modal dialog of the main window,
# is open; the entry cut short leaves nothing behind. Then the main window
# closes, after its builder.
for way in click Escape; do
  start
  main=$(window_titled "$main_title")
  press "$main" key Tab key Tab key space  # Create Archive has the focus first; Unzip File is third
  choose_in_file_dialog "Open" "$work/long/long.zip"
  choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/out"
  progress=$(window_titled "Unzipping Progress")
  press "$main" key shift+Tab key shift+Tab key space  # Create Archive, from Unzip File
  builder=$(window_titled "$main_title" "$main")
  if [[ $way == click ]]; then click_cancel "$progress"; else press "$progress" key Escape; fi
  press "$(window_titled "Information")" key Return
  window_gone "Unzipping Progress"
  expect_only_whole_entries "$work/out" "unzip stopped by $way"
  rm -f "$work/out"/*
  press "$builder" key Escape
  press "$main" key Escape
  expect_exit "closing the main window after the unzip" 0
done

# 6. A job's question blocks only that job's windows: while the unzip asks
# whether to replace a file, the main window's Decrypt File still opens its
# file dialog.
(cd "$work/source" && "$cli" create --zip "$work/small.zip" note.txt) >/dev/null ||
  fail "vaultpack-cli could not make the archive"
start
main=$(window_titled "$main_title")
press "$main" key Tab key Tab key space
choose_in_file_dialog "Open" "$work/small.zip"
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/source"
question=$(window_titled "Question")
click_middle "$main"
press "$(window_titled "Open")" key Escape
window_gone "Open"
press "$question" key Escape  # Cancel
press "$(window_titled "Information")" key Return
window_gone "Unzipping Progress"  # the job has ended: closing asks nothing
press "$main" key Escape
expect_exit "closing the main window after two jobs" 0

# 7. Closing the main window while a job runs asks first: No (by its
# mnemonic Alt+N, then by Escape) keeps the job, Yes ends the program and
# removes the job's partial file.
start
main=$(window_titled "$main_title")
press "$main" key Tab key Tab key space
choose_in_file_dialog "Open" "$work/long/long.zip"
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/out"
window_titled "Unzipping Progress" >/dev/null
for no in alt+n Escape; do
  press "$main" key Escape
  press "$(window_titled "Question")" key "$no"
  window_gone "Question"
  window_titled "Unzipping Progress" >/dev/null
  kill -0 "$program" || fail "No ($no) to the question ended the program"
done
press "$main" key Escape
press "$(window_titled "Question")" key Return  # Yes, the default
expect_exit "Yes to stopping the job" 0
expect_only_whole_entries "$work/out" "the program ended during an unzip"
rm -f "$work/out"/*

# 8. A whole Create Archive through the real dialogs: a file added with the
# file dialog, Zip chosen, the output named without an extension.
start_builder_with "$work/source/note.txt"
options=$(create_in_builder "$builder")
press "$options" key Tab key space key Return  # Zip file, then OK
choose_in_file_dialog "Save As" "$work/out/made"
info=$(window_titled "Information")
expect_box_says "$info" "The ZIP archive \"$work/out/made.zip\" has been created. It is not protected by a password."
press "$info" key Return
window_gone "Create Archive"
press "$main" key Escape
expect_exit "after creating an archive" 0
[[ -f $work/out/made.zip ]] || fail "the save dialog did not add .zip: $(ls "$work/out")"
mkdir "$work/check" && (cd "$work/check" && "$cli" unzip "$work/out/made.zip" . >/dev/null) &&
  cmp -s "$work/source/note.txt" "$work/check/note.txt" || fail "made.zip does not hold note.txt"
rm -rf "$work/out/made.zip" "$work/check"

# 9. Creating a 3.5 GiB archive, stopped by a click on Cancel: no output and
# no temporary file; the options dialog stays with the list for another try.
start_builder_with "$work/long/big.bin"
options=$(create_in_builder "$builder")
press "$options" key Tab key space key Return
choose_in_file_dialog "Save As" "$work/out/big"
click_cancel "$(window_titled "Creating Archive....")"
window_gone "Creating Archive...."
options=$(window_titled "Create Archive")
expect_only "$work/out" "create stopped by a click"
expect_only "$work/tmp" "create stopped by a click"
press "$options" key Escape
press "$builder" key Escape
press "$main" key Escape
expect_exit "closing after the stopped create" 0

# 10. The options dialog's Cancel, clicked while its encryption runs, stops
# the job and closes the dialog every time, also on a busy machine: the
# click activates the dialog, which must not hand the focus to the progress
# window before the button is released. Ten times in a row.
start_builder_with "$work/long/big.bin"
for _ in 1 2; do
  sha256sum /dev/zero &
  load+=($!)
done
for try in $(seq 10); do
  options=$(create_in_builder "$builder")
  press "$options" key space  # Encrypt file
  press "$(window_titled "Encryption Password")" type --delay 5 "$password"
  xdotool key Tab type --delay 5 "$password"
  xdotool key Return
  window_gone "Encryption Password"
  press "$options" key Return  # OK
  choose_in_file_dialog "Save As" "$work/out/encrypted"
  window_titled "Creating Archive...." >/dev/null
  click_at "$options" 50 24  # Cancel, the right-hand button at the bottom
  wait_limit=10 window_gone "Create Archive"
  window_gone "Creating Archive...."
  # The abandoned job removes its partial files as it winds down, after
  # its windows have gone.
  deadline=$((SECONDS + wait_limit))
  while [[ -n $(find "$work/out" "$work/tmp" -mindepth 1 -print -quit) ]] && ((SECONDS < deadline)); do
    sleep 0.05
  done
  expect_only "$work/out" "encryption stopped by the options dialog's Cancel, try $try"
  expect_only "$work/tmp" "encryption stopped by the options dialog's Cancel, try $try"
done
kill "${load[@]}"
load=()
press "$builder" key Escape
press "$main" key Escape
expect_exit "closing after the options dialog's Cancel" 0

# 11. A create that goes on past a file that can no longer be read (Alt+Y to
# the question): the archive is made without it, and the options dialog
# closes with the builder, as after any archive made. The second file is
# added with Add Files' mnemonic, Alt+F.
printf 'soon gone\n' >"$work/source/gone.txt"
start_builder_with "$work/source/note.txt"
press "$builder" key alt+f  # Add Files, by its mnemonic
choose_in_file_dialog "Open" "$work/source/gone.txt"
# Removed only once the options dialog is up: the builder drops a chosen file
# that is already gone when it takes the dialog's answer.
options=$(create_in_builder "$builder")
rm "$work/source/gone.txt"
press "$options" key Tab key space key Return  # Zip file, then OK
choose_in_file_dialog "Save As" "$work/out/partial"
press "$(window_titled "Error")" key alt+y
press "$(window_titled "Information")" key Return
window_gone "Create Archive"
press "$main" key Escape  # the builder has gone too, or it would block this
expect_exit "after creating an archive without a file" 0
names=$("$cli" list "$work/out/partial.zip" | awk '{print $NF}')
[[ $names == note.txt ]] || fail "partial.zip holds [$names], expected note.txt alone"
rm -f "$work/out/partial.zip"

# 12. A ZIP protected with the password as AES-256, made through the options
# dialog by keyboard (Zip, then the new box by its mnemonic, Alt+P, which asks
# for the password), which 7-Zip opens with that password.
start_builder_with "$work/source/note.txt"
options=$(create_in_builder "$builder")
press "$options" key Tab key space key alt+p  # Zip file, then Protect the ZIP
asking=$(window_titled "Encryption Password")
press "$asking" type --delay 20 "$password"
press "$asking" key Tab type --delay 20 "$password"
xdotool key Return
window_gone "Encryption Password"
press "$options" key Return
choose_in_file_dialog "Save As" "$work/out/protected"
info=$(window_titled "Information")
expect_box_says "$info" "The ZIP archive \"$work/out/protected.zip\" has been created. It is protected with the password as AES-256, which other archivers open. The hint is not stored in a ZIP archive."
press "$info" key Return
window_gone "Create Archive"
press "$main" key Escape
expect_exit "after creating an AES archive" 0
timeout "$wait_limit" 7z t -p"$password" "$work/out/protected.zip" >/dev/null || fail "7z does not accept protected.zip"
# 7z also accepts an archive that is not protected at all: the entry must say it is.
"$cli" list "$work/out/protected.zip" | grep -qF "(encrypted: AES-256)" || fail "protected.zip is not protected with AES"
rm -f "$work/out/protected.zip"

# 13. Unzip File on a 7-Zip AES archive of two files: a wrong password is
# told and asked again, the right one is asked for once for both entries.
mkdir "$work/seven" "$work/unzipped"
cp "$work/source/note.txt" "$work/seven/note.txt"
cp "$work/source/note.txt" "$work/seven/copy.txt"
(cd "$work/seven" && timeout "$wait_limit" 7z a -tzip -mem=AES256 -p"$password" "$work/seven.zip" note.txt copy.txt) \
  >/dev/null || fail "7z could not make seven.zip"
start
main=$(window_titled "$main_title")
press "$main" key Tab key Tab key space  # Unzip File
choose_in_file_dialog "Open" "$work/seven.zip"
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/unzipped"
asking=$(window_titled "Decryption Password")
press "$asking" type --delay 20 "not-it"
xdotool key Return
wrong=$(window_titled "Error")
expect_box_says "$wrong" "Wrong password!"
press "$wrong" key Return
asking=$(window_titled "Decryption Password")
press "$asking" type --delay 20 "$password"  # replaces the old text, which is selected
xdotool key Return
info=$(window_titled "Information")
expect_box_says "$info" "2 out of 2 files have been unzipped successfully"
press "$info" key Return
press "$main" key Escape
expect_exit "after unzipping a 7-Zip AES archive" 0
expect_only "$work/unzipped" "the AES unzip" note.txt copy.txt
cmp -s "$work/source/note.txt" "$work/unzipped/copy.txt" || fail "copy.txt was not restored with its content"

# 14. The archive window on a ZIP made by Info-ZIP's zip ("vaultpack --open"):
# the filter (Ctrl+F) narrows the list to two files in different folders,
# which are selected (Ctrl+A) and extracted (Extract Selected, Alt+S) into the
# new folder named after the archive, which three items at the top propose.
# Then Return on an entry opens it: the stub xdg-open on PATH notes the file
# it was given, a private copy that goes when the window closes (Ctrl+W).
mkdir -p "$work/photos/docs" "$work/photos/pics" "$work/bin" "$work/browse"
for name in docs/report.txt docs/notes.txt pics/report.jpg pics/cat.jpg top.txt; do
  printf 'content of %s\n' "$name" >"$work/photos/$name"
done
(cd "$work/photos" && zip -qr "$work/photos.zip" docs pics top.txt) || fail "zip could not make photos.zip"
printf '#!/bin/sh\nprintf "%%s" "$1" >"%s.part" && mv "%s.part" "%s"\n' \
  "$work/opened" "$work/opened" "$work/opened" >"$work/bin/xdg-open"
chmod 755 "$work/bin/xdg-open"
# Filters the archive window $browser to top.txt and opens it with Return;
# sets opened to the file the stub xdg-open was given.
open_top_entry() {
  local deadline=$((SECONDS + wait_limit))
  press "$browser" key ctrl+f key ctrl+a type --delay 20 "top"
  press "$browser" key Tab key Tab key Down key Return
  until [[ -f $work/opened ]]; do
    ((SECONDS < deadline)) || fail "Open did not start xdg-open"
    sleep 0.05
  done
  opened=$(cat "$work/opened")
}
PATH=$work/bin:$PATH start --open "$work/photos.zip"
browser=$(window_titled "photos.zip - Vaultpack")
press "$browser" key ctrl+f type --delay 20 "REPORT"
press "$browser" key Tab key Tab key ctrl+a key alt+s
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/browse"
info=$(window_titled "Information")
expect_box_says "$info" "2 out of 2 files have been unzipped successfully"
press "$info" key Return
expect_only "$work/browse" "Extract Selected" photos
expect_only "$work/browse/photos" "Extract Selected" docs pics
expect_only "$work/browse/photos/docs" "Extract Selected" report.txt
expect_only "$work/browse/photos/pics" "Extract Selected" report.jpg
cmp -s "$work/photos/pics/report.jpg" "$work/browse/photos/pics/report.jpg" || fail "report.jpg was not extracted whole"
open_top_entry
cmp -s "$work/photos/top.txt" "$opened" || fail "xdg-open was given $opened, not a copy of top.txt"
press "$browser" key ctrl+w
expect_exit "closing the archive window" 0
[[ ! -e $opened ]] || fail "the opened copy $opened outlived its window"
# The same copy goes when a signal ends the program.
rm "$work/opened"
PATH=$work/bin:$PATH start --open "$work/photos.zip"
browser=$(window_titled "photos.zip - Vaultpack")
open_top_entry
[[ -f $opened ]] || fail "the opened copy $opened is not there while its window is"
kill -TERM "$program"
expect_exit "SIGTERM with an entry opened" 143
[[ ! -e $(dirname "$(dirname "$opened")") ]] || fail "the private folder of $opened outlived SIGTERM"

# 15. A container that holds an archive: a wrong password is told and asked
# again; then Extract All (Alt+A) gives the tree, which has one folder at its
# top and so goes straight into the chosen folder.
mkdir -p "$work/bundle/tree/sub" "$work/bundled"
printf 'one\n' >"$work/bundle/tree/one.txt"
printf 'two\n' >"$work/bundle/tree/sub/two.txt"
(cd "$work/bundle" && "$cli" create --zip --encrypt --password-file "$work/password" "$work/bundle.ezc" tree) \
  >/dev/null || fail "vaultpack-cli could not make bundle.ezc"
start --open "$work/bundle.ezc"
press "$(window_titled "Decryption Password")" type --delay 20 "not-it"
xdotool key Return
wrong=$(window_titled "Error")
expect_box_says "$wrong" "Wrong password!"
press "$wrong" key Return
press "$(window_titled "Decryption Password")" type --delay 20 "$password"
xdotool key Return
browser=$(window_titled "bundle.ezc - Vaultpack")
press "$browser" key alt+a
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/bundled"
press "$(window_titled "Information")" key Return
press "$browser" key ctrl+w
expect_exit "closing the container's window" 0
diff -r "$work/bundle/tree" "$work/bundled/tree" >/dev/null || fail "Extract All did not give the container's tree"

# 16. 37 items at the top of an archive: Extract All proposes a new folder
# named after it, and takes it.
mkdir -p "$work/many" "$work/spread"
for number in $(seq 37); do printf '%s\n' "$number" >"$work/many/item$number.txt"; done
(cd "$work/many" && zip -q "$work/many.zip" ./*.txt) || fail "zip could not make many.zip"
start --open "$work/many.zip"
browser=$(window_titled "many.zip - Vaultpack")
press "$browser" key alt+a
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/spread"
press "$(window_titled "Information")" key Return
press "$browser" key ctrl+w
expect_exit "closing the window of 37 items" 0
expect_only "$work/spread" "37 items at the top" many
[[ $(find "$work/spread/many" -type f | wc -l) -eq 37 ]] || fail "many/ does not hold the 37 items"

# 17. A hostile archive ("../x", an absolute name, a control character):
# Extract All refuses the two names that lead outside (Alt+Y goes on after
# each) and extracts only the third, inside.
mkdir -p "$work/hostile"
python3 - "$work/hostile.zip" <<'PYTHON' || fail "could not make hostile.zip"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name, data in (("../x", "out"), ("/tmp/vaultpack-absolute-test", "abs"), ("ctl\x07.txt", "c")):
        archive.writestr(zipfile.ZipInfo(name), data)
PYTHON
start --open "$work/hostile.zip"
browser=$(window_titled "hostile.zip - Vaultpack")
press "$browser" key alt+a
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/hostile"
refused=$(window_titled "Error")
press "$refused" key alt+y
press "$(window_titled "Error" "$refused")" key alt+y  # the second box, not the first going away
press "$(window_titled "Information")" key Return
press "$browser" key ctrl+w
expect_exit "closing the hostile archive's window" 0
[[ ! -e $work/x && ! -e /tmp/vaultpack-absolute-test ]] || fail "the hostile archive wrote outside its folder"
expect_only "$work/hostile" "the hostile archive" hostile
expect_only "$work/hostile/hostile" "the hostile archive" $'ctl\a.txt'

# 18. Dragging an entry out of the archive window onto another program's
# window, over XDND as a file manager takes it: the main window of a second
# vaultpack gets inner.zip as a dropped file (extracted only as it is
# dropped) and unzips it.
mkdir -p "$work/nested" "$work/dragged"
printf 'alpha\n' >"$work/nested/a.txt"
(cd "$work/nested" && zip -q inner.zip a.txt && zip -q "$work/outer.zip" inner.zip) || fail "zip could not make outer.zip"
"$vaultpack" 2>"$work/errors-target" &
target=$!
target_main=$(window_titled "$main_title")
start --open "$work/outer.zip"
browser=$(window_titled "outer.zip - Vaultpack")
eval "$(xdotool getwindowgeometry --shell "$target_main" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
xdotool windowraise "$browser" mousemove --window "$browser" 260 142 mousedown 1  # the list's first row
for step in $(seq 10); do xdotool mousemove --window "$browser" $((260 + step * 5)) $((142 + step * 5)) sleep 0.05; done
xdotool windowraise "$target_main"
for step in $(seq 10); do xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2 + step)) sleep 0.05; done
xdotool mouseup 1
choose_in_file_dialog "Please choose the folder to unzip the archive to" "$work/dragged"
press "$(window_titled "Information")" key Return
press "$target_main" key Escape
timeout "$wait_limit" tail --pid="$target" -f /dev/null || fail "the drop's target did not end"
press "$browser" key ctrl+w
expect_exit "closing the window dragged from" 0
cmp -s "$work/nested/a.txt" "$work/dragged/a.txt" || fail "the dragged inner.zip did not reach the other window whole"

echo "PASS: Cancel by click and Escape in each progress window, under other windows; -d; SIGTERM; quitting during a job; a whole create with the save dialog's extension; the options dialog's Cancel during its job, ten times; a create that goes on past a missing file; an AES ZIP made by keyboard and opened by 7-Zip; a 7-Zip AES archive unzipped after a wrong password; the archive window's filter, Extract Selected, Open, a container's password, a new folder for 37 items, a hostile archive and an entry dragged out to another program"
