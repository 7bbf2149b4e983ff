#!/usr/bin/env bash
# Configures and builds everything into build/ (executables in build/bin/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TALLYPORT_BUILD_DIR:-$root/build}"
jobs="$(nproc 2>/dev/null || echo 2)"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j"$jobs"
