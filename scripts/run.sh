#!/usr/bin/env bash
# Installs what is missing, builds, and starts the pendant against the bundled virtual
# controller on loopback. With a display the pendant opens there (close it to stop);
# without one it runs under Xvfb, presses a few keys and saves a screenshot.
#   scripts/run.sh [standard|mini|old]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
./scripts/install-deps.sh
build="${TARVISK_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TARVISK_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tarvisk tarvisk-controller

variant="${1:-standard}"
case "$variant" in
  standard) type=0; controller_flags=() ;;
  mini) type=1; controller_flags=(--mini) ;;
  old) type=-1; controller_flags=() ;;
  *) echo "usage: $0 [standard|mini|old]" >&2; exit 2 ;;
esac

# The controller listens on 5010 and answers the pendant on 5009, both on loopback.
"$build/tools/controller/tarvisk-controller" --demo --port 5010 --pendant-port 5009 "${controller_flags[@]}" &
controller=$!
xvfb=""
cleanup() {
  kill "$controller" 2>/dev/null || true
  [ -n "${pendant:-}" ] && kill "$pendant" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ]; then
  "$build/src/app/tarvisk" 127.0.0.1 5010 127.0.0.1 5009 "$type"
  exit 0
fi

# No display: a virtual one, a few key presses, and a screenshot. The server picks a free
# display and names it once it takes clients (-displayfd), however long its start takes.
displayfile="$(mktemp "${TMPDIR:-/tmp}/tarvisk-run-display.XXXXXX")"
Xvfb -displayfd 3 -screen 0 640x800x24 -nolisten tcp 3>"$displayfile" &
xvfb=$!
display=""
for _ in $(seq 600); do
  [ -s "$displayfile" ] && { display=":$(head -n1 "$displayfile")"; break; }
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
rm -f "$displayfile"
if [ -z "$display" ]; then
  echo "run.sh: Xvfb did not start; see its messages above" >&2
  exit 1
fi
export DISPLAY="$display"
"$build/src/app/tarvisk" 127.0.0.1 5010 127.0.0.1 5009 "$type" &
pendant=$!
win=""
for _ in $(seq 100); do
  win=$(xdotool search --name "Halvex" 2>/dev/null | head -n1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
if [ -z "$win" ]; then
  echo "the pendant window did not appear" >&2
  exit 1
fi
sleep 3.5 # the first connection enables the keys after 3 s
eval "$(xdotool getwindowgeometry --shell "$win")"
press() { # a click at window-relative pixels
  xdotool mousemove --sync $((X + $1)) $((Y + $2)) mousedown 1
  sleep 0.3
  xdotool mouseup 1
  sleep 0.3
}
if [ "$type" = 0 ]; then
  press 40 118  # MOTOR: the demo controller lights LED 1
  press 160 27  # STOP: the demo controller sounds the beeper
fi
mkdir -p screenshots
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "screenshots/pendant-$variant.png"
echo "saved screenshots/pendant-$variant.png"
