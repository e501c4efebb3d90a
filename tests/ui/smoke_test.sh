#!/usr/bin/env bash
# The desktop program on a real X server: Xvfb with the xcb platform, driven by
# xdotool as a person would. Checks that the main window opens and closes, and
# that decrypting a container given with -d asks the password, reports success
# and ends the program with the file restored.
# Usage: smoke_test.sh VAULTPACK VAULTPACK_CLI
set -euo pipefail

wait_limit=20  # seconds for any one window to appear or the program to end

if [[ ${1-} != --on-display ]]; then
  for tool in xvfb-run xauth xdotool timeout; do
    if ! command -v "$tool" >/dev/null; then
      echo "FAIL: $tool is missing (scripts/install-deps.sh test installs it)" >&2
      exit 1
    fi
  done
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-display "$@"
fi
shift
vaultpack=$(realpath "$1")
cli=$(realpath "$2")

work=$(mktemp -d)
program=
cleanup() {
  if [[ -n $program ]] && kill -0 "$program" 2>/dev/null; then
    kill -9 "$program" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -m 700 "$work/home" "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime LANG=C.UTF-8 QT_QPA_PLATFORM=xcb
unset LC_ALL LC_MESSAGES LANGUAGE

fail() {
  echo "FAIL: $*" >&2
  echo "Windows on the display:" >&2
  xdotool search --name . getwindowname %@ >&2 2>/dev/null || true
  echo "The program's error output:" >&2
  cat "$work/errors" >&2 2>/dev/null || true
  exit 1
}

# The id of the visible window titled exactly $1 (a title whose only pattern
# character is the dot), once it is there.
window_titled() {
  local id
  id=$(timeout "$wait_limit" xdotool search --sync --onlyvisible --name "^${1//./\\.}\$" | head -n 1) ||
    fail "no window titled \"$1\" within ${wait_limit}s"
  [[ -n $id ]] || fail "no window titled \"$1\""
  echo "$id"
}

# Gives the window the keyboard (there is no window manager) and presses keys.
press() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window" || fail "could not focus window $window"
  xdotool "$@"
}

# Waits for the program to end; its exit status must be 0.
expect_exit_zero() {
  local status=0
  timeout "$wait_limit" tail --pid="$program" -f /dev/null || fail "$1: the program is still running"
  wait "$program" || status=$?
  program=
  [[ $status -eq 0 ]] || fail "$1: exit status $status"
}

# The main window opens with its title and closes with Escape.
"$vaultpack" 2>"$work/errors" &
program=$!
main=$(window_titled "Vaultpack - v1.05")
press "$main" key Escape
expect_exit_zero "closing the main window"

# Decrypt at start: a container made by the command-line tool, beside no copy
# of its file.
mkdir "$work/source" "$work/decrypt"
printf 'first line\nsecond line: 0123456789\n' >"$work/source/note.txt"
password=Smoke2Test
printf '%s\n' "$password" >"$work/password"
(cd "$work/source" && "$cli" create --encrypt --password-file "$work/password" "$work/decrypt/sample.ezc" note.txt) \
  >/dev/null || fail "vaultpack-cli could not make the container"

cd "$work/decrypt"
"$vaultpack" -d sample.ezc 2>"$work/errors" &
program=$!
asking=$(window_titled "Decryption Password")
press "$asking" type --delay 20 "$password"
xdotool key Return
information=$(window_titled "Information")
press "$information" key Return
expect_exit_zero "after the Information box"
cmp -s "$work/source/note.txt" "$work/decrypt/note.txt" || fail "note.txt was not restored with its content"

echo "PASS: main window opened and closed; -d decrypted the container"
