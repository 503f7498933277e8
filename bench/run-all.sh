#!/usr/bin/env bash
# Builds (optimised) and runs every benchmark of the project, one after the other, and prints
# their figures: medians, p99 and the ratios against the bare operations measured in the same
# run. Pass a file to also write the output there.
#   bench/run-all.sh [output file]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
build="${TARVISK_BENCH_BUILD_DIR:-build-bench}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVISK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen
out="${1:-/dev/null}"
{
  echo "# Tarvisk benchmarks, $(date -u +%Y-%m-%d)"
  echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
  run() {
    echo
    echo "## $1"
    shift
    "$@" 2>&1 | grep -v -E '^QStandardPaths|XDG_RUNTIME_DIR'
  }
  run "host message queue (1,000,000 CreateMessage + GetMessage)" "$build/bench/queue/bench_queue"
  run "key painting (31 round-frame keys of the standard pendant)" "$build/bench/buttonex/bench_buttonex"
  run "press to host message (hosted, in-process)" "$build/bench/press/bench_press"
  run "press to datagram beside bare UDP (standalone, loopback)" "$build/bench/pressudp/bench_press_udp"
  run "the input path: mouse, keyboard and both on one key beside the bare key model" "$build/bench/input/bench_input"
  run "link codec and socket beside bare UDP" "$build/bench/link/link_bench"
  run "D-Bus costs beside a bare ping and the main-thread floor (private bus), from Qt and from Python" \
    "$build/bench/dbus/bench_dbus" 5000 --python "$here/bench/dbus/bench_python.py"
  run "scripted Press to the datagram at the controller, beside a bare D-Bus round trip and a bare UDP send" \
    "$build/bench/pendantbus/bench_pendant_press"
  run "mini display: full-screen DrawDisplay" "$build/bench/display/tarvisk_display_bench"
  run "start-up to first window shown, resident memory (xcb, beside a minimal window)" \
    tests/with-xvfb.sh "$build/bench/startup/bench_startup" 10
} | tee "$out"
