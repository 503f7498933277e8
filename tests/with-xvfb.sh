#!/usr/bin/env bash
# Runs a command against a private Xvfb server, for tests that need a real X server (window
# manager hints, X11 input). The server picks a free display itself (-displayfd), so tests run
# side by side never race for one; it ends with the command.
set -euo pipefail
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvisk-xvfb.XXXXXX")"
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1024x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
display=""
for _ in $(seq 200); do
  if [ -s "$work/display" ]; then
    display=":$(head -n1 "$work/display")"
    break
  fi
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$display" ]; then
  echo "with-xvfb.sh: Xvfb did not start: $(cat "$work/xvfb.log")" >&2
  exit 1
fi
status=0
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@" || status=$?
exit "$status"
