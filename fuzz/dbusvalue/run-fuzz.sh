#!/bin/sh
# Builds the D-Bus value decoder's fuzzer with clang and runs it.
#   fuzz/dbusvalue/run-fuzz.sh [seconds] [build dir]     (defaults: 120, build-fuzz-dbusvalue)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-120}
build=${2:-$root/build-fuzz-dbusvalue}

if [ ! -f "$build/build.ninja" ]; then
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVISK_BUILD_FUZZ=ON
fi
ninja -C "$build" dbusvalue_fuzzer
corpus="$build/fuzz/dbusvalue/corpus"
mkdir -p "$corpus" "$build/fuzz/dbusvalue/findings"
"$build/fuzz/dbusvalue/dbusvalue_fuzzer" -max_total_time="$seconds" -max_len=2048 \
  -artifact_prefix="$build/fuzz/dbusvalue/findings/" -print_final_stats=1 "$corpus"
