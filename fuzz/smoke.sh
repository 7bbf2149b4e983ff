#!/bin/sh
# CTest's short run of one fuzz target: starts from an empty scratch corpus (libFuzzer writes
# the inputs it finds there, never into the seed corpus of the repository), then runs
#   smoke.sh SCRATCH_DIR FUZZER [libFuzzer arguments and corpus directories]
set -eu
scratch=$1
shift
rm -rf "$scratch"
mkdir -p "$scratch"
exec "$@"
