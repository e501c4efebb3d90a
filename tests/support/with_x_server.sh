#!/usr/bin/env bash
# Runs a command on its own X server: Xvfb, 1280x1024, no TCP, on a display
# number the server picks itself (-displayfd), so that X servers started at
# the same time (parallel tests, other work on the machine) never share one,
# as xvfb-run -a may let them. -noreset: the server would otherwise reset
# whenever its last client leaves, refusing a client that connects meanwhile
# (the next program started by a test). The server ends with the command; the
# command's exit status is this script's.
# Usage: with_x_server.sh COMMAND [ARGUMENT ...]
set -euo pipefail

command -v Xvfb >/dev/null || { echo "Xvfb is missing (scripts/install-deps.sh test installs it)" >&2; exit 1; }
ready=$(mktemp -d)
server=
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$ready"
}
trap cleanup EXIT
mkfifo "$ready/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$ready/display" 2>"$ready/errors" &
server=$!
# The server writes its display number once it accepts clients.
if ! read -r -t 30 number <"$ready/display"; then
  echo "Xvfb did not start:" >&2
  cat "$ready/errors" >&2
  exit 1
fi
status=0
DISPLAY=:$number "$@" || status=$?
exit "$status"
