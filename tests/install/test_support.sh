# Sourced by the install tests: a temporary folder removed at exit, failures
# counted rather than ending the test at the first one.

# require_tools TOOL...: ends the test when one of them is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "FAIL: $tool is missing (scripts/install-deps.sh test installs it)" >&2
      exit 1
    fi
  done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# finish NAME: the test's end, failed when anything failed.
finish() {
  if ((failures > 0)); then
    echo "$failures failed" >&2
    exit 1
  fi
  echo "$1 passed"
}
