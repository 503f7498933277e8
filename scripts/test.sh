#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
# Tests need no display and no session bus: they start their own.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
./scripts/install-deps.sh
build="${TARVISK_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TARVISK_BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build" --parallel "$(nproc)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
