#!/bin/sh
# Builds the pendant link's datagram fuzzer with clang, writes its seed corpus and runs it.
#   fuzz/link/run-fuzz.sh [seconds] [build dir]     (defaults: 120, build-fuzz-link)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-120}
build=${2:-$root/build-fuzz-link}

if [ ! -f "$build/build.ninja" ]; then
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVISK_BUILD_FUZZ=ON
fi
ninja -C "$build" link_datagram_fuzzer link_fuzz_corpus
corpus="$build/fuzz/link/corpus"
"$build/fuzz/link/link_fuzz_corpus" "$corpus"
mkdir -p "$build/fuzz/link/findings"
"$build/fuzz/link/link_datagram_fuzzer" -max_total_time="$seconds" -max_len=4096 \
  -dict="$here/datagram.dict" -artifact_prefix="$build/fuzz/link/findings/" -print_final_stats=1 "$corpus"
