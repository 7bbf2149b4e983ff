#!/usr/bin/env bash
# The one test command: installs what is missing, builds, and runs every test through CTest.
# Tests start the services they use themselves (the sandbox gateway on a free port each); the
# package test builds the .deb with CPack and runs the unpacked programs.
# Extra arguments go to ctest, e.g. scripts/test.sh -L unit
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh

jobs="$(nproc 2>/dev/null || echo 2)"
ctest --test-dir build --output-on-failure -j"$jobs" "$@"
