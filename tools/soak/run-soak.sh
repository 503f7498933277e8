#!/usr/bin/env bash
# Soak run of tarvisk: real X input on the pendant window for a while, the reported key states
# and queued messages checked against it, and the provider's memory followed.
#
#   run-soak.sh [SECONDS] [--standalone|--hosted|--both] [--build DIR] [--seed N] [--memory-limit KIB]
#               [--logs DIR]
#
# SECONDS (default 600) is how long each leg drives the pendant. --both (the default) runs the
# two legs at the same time, each on an X server of its own:
#   standalone  tarvisk as a user starts it with the mini pendant, tarvisk-soak as its robot
#               controller on 127.0.0.1 (key states, LED, beep, display and ping messages);
#   hosted      a private session bus that starts `tarvisk --automation` from the build's
#               activation file, tarvisk-soak as its client on the standard pendant.
# The build folder (default $TARVISK_BUILD_DIR, else build/) must hold tarvisk and tarvisk-soak.
# --logs keeps the programs' output in DIR instead of a temporary folder.
# Memory: the provider's VmRSS is sampled every 2 s; a leg fails when the least-squares slope
# over the second half of its run exceeds 512 KiB/min (--memory-limit). A second half shorter
# than 60 s is reported but not judged: it measures the warm-up, not a leak.
# Exit status: 0 every check passed, 1 a check failed, 2 wrong use, 77 a tool is missing.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
seconds=600
legs=both
build="${TARVISK_BUILD_DIR:-$repo/build}"
extra=()
logs=""

while [ $# -gt 0 ]; do
  case "$1" in
    --standalone) legs=standalone ;;
    --hosted) legs=hosted ;;
    --both) legs=both ;;
    --build) build="$2"; shift ;;
    --logs) logs="$2"; shift ;;
    --seed) extra+=(--seed "$2"); shift ;;
    --memory-limit) extra+=(--memory-limit "$2"); shift ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *[!0-9]*|'') echo "run-soak.sh: unknown argument $1" >&2; exit 2 ;;
    *) seconds="$1" ;;
  esac
  shift
done

[ -d "$build" ] || { echo "run-soak.sh: no build folder $build" >&2; exit 77; }
build="$(cd "$build" && pwd)"
soak="$build/tools/soak/tarvisk-soak"
tarvisk="$build/src/app/tarvisk"
services="$build/dbus-1/services"
for f in "$soak" "$tarvisk"; do
  [ -x "$f" ] || { echo "run-soak.sh: $f is not built" >&2; exit 77; }
done
for tool in Xvfb dbus-daemon; do
  command -v "$tool" >/dev/null || { echo "run-soak.sh: $tool is missing" >&2; exit 77; }
done
if [ "$legs" != standalone ] && [ ! -f "$services/ZephProv.Halvex.Tarvisk.service" ]; then
  echo "run-soak.sh: no activation file in $services" >&2
  exit 77
fi

if [ -n "$logs" ]; then
  mkdir -p "$logs" && work="$(cd "$logs" && pwd)" || exit 2
else
  work="$(mktemp -d "${TMPDIR:-/tmp}/tarvisk-soak.XXXXXX")"
fi
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  [ -n "$logs" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
mkdir -p -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"

# start_xvfb NAME: a private X server on a display it picks itself, into $display.
start_xvfb() {
  local fifo="$work/$1.displayfd"
  : >"$fifo"
  Xvfb -displayfd 3 -screen 0 1024x900x24 -nolisten tcp 3>"$fifo" >"$work/$1-xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    [ -s "$fifo" ] && { display=":$(head -n1 "$fifo")"; return 0; }
    sleep 0.05
  done
  echo "run-soak.sh: Xvfb did not start: $(cat "$work/$1-xvfb.log")" >&2
  return 1
}

# run_leg LEG: starts the leg's servers and the soak program, into leg_pid[LEG].
run_leg() {
  local leg="$1"
  start_xvfb "$leg" || return 1
  if [ "$leg" = hosted ]; then
    # The bus hands its environment and its output to the provider it starts: the display, the
    # platform, a settings folder of the run's own, and the log.
    cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$work</listen>
  <servicedir>$services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    : >"$work/bus.address"
    DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/hosted-config" \
      dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 \
      3>"$work/bus.address" >"$work/hosted-tarvisk.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
      [ -s "$work/bus.address" ] && break
      sleep 0.05
    done
    [ -s "$work/bus.address" ] || { echo "run-soak.sh: dbus-daemon does not start" >&2; return 1; }
    DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$work/bus.address")" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
      "$soak" hosted --seconds "$seconds" --log-dir "$work" "${extra[@]}" >"$work/hosted.out" 2>&1 &
  else
    env -u DBUS_SESSION_BUS_ADDRESS DISPLAY="$display" QT_QPA_PLATFORM=xcb \
      "$soak" standalone --seconds "$seconds" --tarvisk "$tarvisk" --log-dir "$work" "${extra[@]}" \
      >"$work/standalone.out" 2>&1 &
  fi
  leg_pid[$leg]=$!
  pids+=($!)
}

case "$legs" in
  both) order=(standalone hosted) ;;
  *) order=("$legs") ;;
esac
echo "tarvisk soak: ${order[*]} for $seconds s each (logs in $work while it runs)"
declare -A leg_pid
display=""
status=0
for leg in "${order[@]}"; do
  run_leg "$leg" || status=1
done
for leg in "${order[@]}"; do
  [ -n "${leg_pid[$leg]:-}" ] || continue
  wait "${leg_pid[$leg]}"
  rc=$?
  cat "$work/$leg.out"
  if [ "$rc" -ne 0 ]; then
    status=1
    if [ -s "$work/$leg-tarvisk.log" ]; then
      echo "--- tarvisk's output ($leg):"
      tail -n 40 "$work/$leg-tarvisk.log"
    fi
  fi
done
if [ "$status" -eq 0 ]; then echo "tarvisk soak: PASS"; else echo "tarvisk soak: FAIL"; fi
exit "$status"
