#!/usr/bin/env bash
# The one test command: installs what is missing, builds, and runs every test through CTest.
# Tests start the services they use themselves (the sandbox gateway on a free port each); the
# package test builds the .deb with CPack and runs the unpacked programs.
# Extra arguments go to every ctest run, e.g. scripts/test.sh -L unit
#
# Phases, each timed (summary at the end):
#   1. g++: everything in build/, every test.
#   2. clang with AddressSanitizer and UndefinedBehaviorSanitizer: everything in build-asan/,
#      the fuzz targets included, every test (labels fuzz and bench too).
#   3. clang with ThreadSanitizer: in build-tsan/ only the threaded paths (run logs, the polling
#      thread, the login thread, HTTP cancellation, the sandbox's server threads, payments, the
#      print queue, the payment-code readers, the single-window request, the query windows'
#      requests) and their tests.
#   4. Windows: the till cross-built with mingw-w64 in build-windows/ against the prefix of
#      scripts/windows-deps.sh, and its suites run under Wine in a Wine prefix made for the
#      run. Without the Windows prefix ($TALLYPORT_WINDOWS_PREFIX, or the cache of
#      windows-deps.sh) the phase says it was skipped; TALLYPORT_REQUIRE_WINDOWS=1 makes that a
#      failure.
# TALLYPORT_SANITIZERS=0 skips phases 2 and 3 for a quick local run; CI runs all of them.
# A failing phase does not stop the later ones; the exit code is non-zero if any failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

jobs="$(nproc 2>/dev/null || echo 2)"
sanitizers="${TALLYPORT_SANITIZERS:-1}"
build="${TALLYPORT_BUILD_DIR:-$root/build}"
asan_build="${TALLYPORT_ASAN_BUILD_DIR:-$root/build-asan}"
windows_build="${TALLYPORT_WINDOWS_BUILD_DIR:-$root/build-windows}"
tsan_build="${TALLYPORT_TSAN_BUILD_DIR:-$root/build-tsan}"
supp="$root/tests/sanitizers"

# The ThreadSanitizer run: these tests and what they need.
tsan_tests=(TestRunLog TestBackgroundRequest TestOrderPoller TestLoginExchange TestTallyport TestHttpClient
  TestSandboxGateway TestSandboxFaults TestCheckoutPayments TestPrintQueue TestInputSources
  TestSingleWinPayments TestQueryWindows TestLedger TestLedgerPayments TestFaultMatrix)
tsan_targets=("${tsan_tests[@]}" tallyport-sandbox)

# Tests left out of a sanitizer run until the finding they show is fixed in our code. Each
# entry names the finding; keep this list empty whenever it can be.
asan_known_findings=()
tsan_known_findings=()

timings=()
failed=()
phase_start=0
begin() {
  phase_start="$(date +%s)"
  echo "=== $1"
}
finish() {
  local seconds=$(($(date +%s) - phase_start))
  timings+=("$(printf '%-16s %4d:%02d' "$1" $((seconds / 60)) $((seconds % 60)))")
}
summary() {
  echo "=== wall time per phase"
  if [ ${#timings[@]} -ne 0 ]; then printf '  %s\n' "${timings[@]}"; fi
}
trap summary EXIT
# ctest's -E for a list of test names ("" when the list is empty).
exclude() {
  if [ $# -eq 0 ]; then return; fi
  local IFS='|'
  echo "-E ^($*)\$"
}

begin setup
bash scripts/setup.sh
finish setup

begin "g++ build"
TALLYPORT_BUILD_DIR="$build" bash scripts/build.sh
finish "g++ build"

begin "g++ tests"
ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@" || failed+=("g++ tests")
finish "g++ tests"

if [ "$sanitizers" != 0 ]; then
  # Settings of the sanitizer runtimes, inherited by the processes the tests start (the sandbox,
  # the client).
  sanitizer_env=(
    "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1"
    "LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
    "TSAN_OPTIONS=suppressions=$supp/tsan.supp:second_deadlock_stack=1:print_suppressions=0"
  )

  begin "asan build"
  cmake -S "$root" -B "$asan_build" -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYPORT_SANITIZE=address,undefined \
    -DTALLYPORT_FUZZ=ON >/dev/null
  cmake --build "$asan_build" -j"$jobs"
  finish "asan build"

  begin "asan tests"
  # shellcheck disable=SC2046
  env "${sanitizer_env[@]}" ctest --test-dir "$asan_build" --output-on-failure -j"$jobs" \
    $(exclude "${asan_known_findings[@]}") "$@" || failed+=("asan tests")
  finish "asan tests"

  begin "tsan build"
  cmake -S "$root" -B "$tsan_build" -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYPORT_SANITIZE=thread -DTALLYPORT_FUZZ=OFF >/dev/null
  cmake --build "$tsan_build" -j"$jobs" --target "${tsan_targets[@]}"
  finish "tsan build"

  begin "tsan tests"
  # ThreadSanitizer of clang 14 needs the address layout it knows: a kernel with more random
  # mmap bits than it expects makes it stop at start, so its run goes without randomisation.
  no_aslr=()
  if setarch "$(uname -m)" -R true 2>/dev/null; then no_aslr=(setarch "$(uname -m)" -R); fi
  tsan_regex="^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
  # shellcheck disable=SC2046
  env "${sanitizer_env[@]}" "${no_aslr[@]}" ctest --test-dir "$tsan_build" --output-on-failure \
    -j"$jobs" -R "$tsan_regex" $(exclude "${tsan_known_findings[@]}") "$@" ||
    failed+=("tsan tests")
  finish "tsan tests"
fi

windows_prefix="${TALLYPORT_WINDOWS_PREFIX:-$(bash scripts/windows-deps.sh --path 2>/dev/null || true)}"
if [ -z "$windows_prefix" ] || [ ! -f "$windows_prefix/.complete" ]; then
  echo "=== windows: skipped: no Windows prefix (scripts/windows-deps.sh builds it once, about 40 minutes)"
  if [ "${TALLYPORT_REQUIRE_WINDOWS:-0}" = 1 ]; then failed+=("windows (no prefix)"); fi
else
  begin "windows build"
  if cmake -S "$root" -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DTALLYPORT_WINDOWS_PREFIX="$windows_prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALLYPORT_LINUX_SANDBOX="$build/bin/tallyport-sandbox" \
    -DTALLYPORT_LINUX_E2E="$build/tests/TestE2eWindowsTill" >/dev/null &&
    cmake --build "$windows_build" -j"$jobs"; then
    finish "windows build"
    begin "windows tests"
    # One Wine prefix for the run, made first (its first start takes seconds), its server
    # ended and the prefix removed however the run ends.
    wine_prefix="$(mktemp -d "${TMPDIR:-/tmp}/tallyport-wine.XXXXXX")"
    end_wine() { bash scripts/wine-end.sh "$wine_prefix"; }
    trap 'end_wine; summary' EXIT
    WINEPREFIX="$wine_prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
      wineboot -i >/dev/null 2>&1 || true
    TALLYPORT_WINE_PREFIX="$wine_prefix" TALLYPORT_WINDOWS_PREFIX="$windows_prefix" \
      bash scripts/wine-run.sh --prepare || true
    TALLYPORT_WINE_PREFIX="$wine_prefix" TALLYPORT_WINDOWS_PREFIX="$windows_prefix" \
      ctest --test-dir "$windows_build" --output-on-failure -j"$jobs" "$@" ||
      failed+=("windows tests")
    end_wine
    trap summary EXIT
    finish "windows tests"
  else
    failed+=("windows build")
    finish "windows build"
  fi
fi

if [ ${#failed[@]} -ne 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
