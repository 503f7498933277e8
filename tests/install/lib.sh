# Shared by the install tests: failure counting, the temporary folder and the install step.
# Each test is `bash <test>.sh BUILD_DIR`; it exits 0 when all checks pass, 1 when one failed,
# and 77 (skipped) when a tool it needs is missing.

set -uo pipefail

build="${1:?usage: $0 BUILD_DIR}"
failures=0
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvisk-install.XXXXXX")"
cleanups=()

cleanup() {
  local c
  for c in "${cleanups[@]}"; do eval "$c"; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# check DESCRIPTION COMMAND...: runs the command, a failure when it fails.
check() {
  local what="$1"
  shift
  if ! "$@"; then fail "$what"; fi
}

need() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed" >&2
      exit 77
    fi
  done
}

# install_to PREFIX: the build tree's install rules into PREFIX; the log is shown on failure.
install_to() {
  if ! cmake --install "$build" --prefix "$1" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install into $1" >&2
    exit 1
  fi
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
