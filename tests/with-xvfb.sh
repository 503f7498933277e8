#!/usr/bin/env bash
# Runs a command against a private Xvfb server on a free display, for tests that need a
# real X server (window manager hints, X11 input). The server ends with the command.
set -euo pipefail
display=""
for n in $(seq 140 199); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.05
done
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@"
