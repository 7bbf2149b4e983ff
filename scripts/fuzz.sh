#!/usr/bin/env bash
# Runs the libFuzzer targets for long: all of them, or the ones named, one after the other.
#   scripts/fuzz.sh [--seconds N | --runs N] [TARGET ...] [-- LIBFUZZER-ARGUMENTS ...]
#   scripts/fuzz.sh --minimise [TARGET ...]
#   scripts/fuzz.sh --list
# Default: 300 seconds per target. Builds the fuzz targets first, in the AddressSanitizer and
# UndefinedBehaviorSanitizer build that scripts/test.sh uses (build-asan/, or
# $TALLYPORT_ASAN_BUILD_DIR), configuring it when it is missing.
#
# Each target starts from its seed corpus fuzz/corpus/TARGET/ and from what earlier runs found,
# kept in build-asan/fuzz/corpus/TARGET/ (libFuzzer writes only there, never into the
# repository). A crash, a leak or a broken invariant stops that target and leaves the input in
# fuzz/findings/ (not committed); reproduce it with build-asan/fuzz/TARGET FILE.
# --minimise runs nothing new: it replaces each seed corpus fuzz/corpus/TARGET/ with the smallest
# set of its inputs and of what earlier runs found that keeps all their coverage (libFuzzer's
# merge), ready to commit.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TALLYPORT_ASAN_BUILD_DIR:-$root/build-asan}"
jobs="$(nproc 2>/dev/null || echo 2)"

usage() {
  sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
}

# The targets fuzz/CMakeLists.txt builds.
mapfile -t all_targets < <(sed -n 's/^tallyport_add_fuzzer(\([A-Za-z0-9_]*\).*/\1/p' \
  "$root/fuzz/CMakeLists.txt")

limit=(-max_total_time=300)
minimise=0
targets=()
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) [ $# -ge 2 ] || usage; limit=("-max_total_time=$2"); shift 2 ;;
    --runs) [ $# -ge 2 ] || usage; limit=("-runs=$2"); shift 2 ;;
    --minimise) minimise=1; shift ;;
    --list) printf '%s\n' "${all_targets[@]}"; exit 0 ;;
    --) shift; extra=("$@"); break ;;
    -h | --help) usage ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; usage ;;
    *)
      if [[ ! " ${all_targets[*]} " =~ \ $1\  ]]; then
        echo "fuzz.sh: no fuzz target $1 (scripts/fuzz.sh --list)" >&2
        exit 2
      fi
      targets+=("$1")
      shift
      ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

if [ ! -f "$build/CMakeCache.txt" ] || ! grep -q '^TALLYPORT_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
  cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALLYPORT_SANITIZE=address,undefined -DTALLYPORT_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
findings="$root/fuzz/findings"
mkdir -p "$findings"

if [ "$minimise" = 1 ]; then
  for target in "${targets[@]}"; do
    merged="$(mktemp -d)"
    mkdir -p "$build/fuzz/corpus/$target"
    "$build/fuzz/$target" -merge=1 -timeout=30 -rss_limit_mb=4096 "$merged" \
      "$root/fuzz/corpus/$target" "$build/fuzz/corpus/$target" 2>&1 | grep -E '^MERGE-OUTER: [0-9]+ new files' || true
    if [ -n "$(ls -A "$merged")" ]; then
      find "$root/fuzz/corpus/$target" -type f -delete
      cp "$merged"/* "$root/fuzz/corpus/$target/"
    fi
    rm -rf "$merged"
    echo "$target: $(find "$root/fuzz/corpus/$target" -type f | wc -l) inputs," \
      "$(du -sb "$root/fuzz/corpus/$target" | cut -f1) bytes"
  done
  exit 0
fi

failed=()
for target in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  echo "=== $target ${limit[*]}"
  "$build/fuzz/$target" "${limit[@]}" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" ${extra[@]+"${extra[@]}"} \
    "$corpus" "$root/fuzz/corpus/$target" || failed+=("$target")
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "findings (inputs in $findings): ${failed[*]}"
  exit 1
fi
echo "no findings: ${targets[*]}"
