#!/usr/bin/env bash
# Instruction counts (valgrind's callgrind), which unlike times hold still on a shared machine.
#   scripts/bench-instructions.sh pay       the checkout's own instructions per payment (Return to
#                                           card, without its request) next to the bare signed
#                                           round trip (BenchPayment against the local sandbox)
#   scripts/bench-instructions.sh startup   process start to the event loop of the till (a first
#                                           configuration in a fresh home) and of the floor
#                                           (bench/StartupFloor), on a private Xvfb
# BUILD=dir picks the build (default build/); TILL=program counts another till binary.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$root/build}"
mode="${1:-}"
command -v valgrind >/dev/null || { echo "valgrind is missing" >&2; exit 1; }

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
# However it ends (Ctrl-C, kill, a closed terminal), what it started ends with it.
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The part of a callgrind run between two dumps: its "totals:" line.
totals() { sed -n 's/^totals: //p' "$1"; }

pay() {
  for program in "$build/bench/BenchPayment" "$build/bin/tallyport-sandbox"; do
    [[ -x "$program" ]] || { echo "missing $program: build first" >&2; exit 1; }
  done
  # Collected: the checkout's confirm without the request inside it (the nested toggle stops
  # collecting there) and the bare requests. A dump before each benchmark batch and before each
  # confirm puts every payment and every batch of bare trips in a part of its own.
  (cd "$work" && TALLYPORT_SANDBOX="$build/bin/tallyport-sandbox" valgrind --tool=callgrind \
    --callgrind-out-file="$work/cg.out" \
    --toggle-collect='CheckStandWin::OnInputYes*' --toggle-collect='HttpClient::Post*' \
    --dump-before='*bareRoundTrip*' --dump-before='*checkoutPayment*' \
    --dump-before='CheckStandWin::OnInputYes()' \
    "$build/bench/BenchPayment" --benchmark_filter='bareRoundTrip|checkoutPayment' \
    --benchmark_min_time=4 >"$work/bench.log" 2>&1)
  # Part N holds what ran from dump N to dump N + 1 (the last part is the file without a number).
  local parts=() triggers=() j f dumps
  dumps="$(find "$work" -name 'cg.out.*' | wc -l)"
  for ((j = 1; j <= dumps + 1; j++)); do
    f="$work/cg.out.$j"
    ((j <= dumps)) || f="$work/cg.out"
    parts+=("$(totals "$f")")
    triggers+=("$(sed -n 's/^desc: Trigger: //p' "$f")")
  done
  : >"$work/payments"; : >"$work/bare"
  local i first=1
  for ((i = 1; i < ${#parts[@]}; i++)); do
    case "${triggers[i - 1]}" in
      *OnInputYes*)
        # Each batch builds its own window: its first payment makes the card and is left out.
        [[ $first == 1 ]] || echo "${parts[i]}" >>"$work/payments"
        first=0 ;;
      *bareRoundTrip*) echo "${parts[i]}" >>"$work/bare"; first=1 ;;
      *) first=1 ;;
    esac
  done
  # The bare trips per batch: BenchPayment prints the iterations of the last (largest) batch.
  local bare_runs
  bare_runs="$(awk '/^bareRoundTrip/ { print $(NF) }' "$work/bench.log" | tail -1)"
  local bare_total
  bare_total="$(tail -1 "$work/bare")"
  local median
  median="$(sort -n "$work/payments" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
  awk -v b="$bare_total" -v n="$bare_runs" -v c="$median" -v k="$(wc -l <"$work/payments")" \
    'BEGIN { printf "bare round trip  %6.3f M instructions (%d trips)\n", b / n / 1e6, n;
             printf "checkout, own    %6.3f M per payment (median of %d)\n", c / 1e6, k;
             printf "ratio            %.3fx\n", (b / n + c) / (b / n) }'
}

startup() {
  local till="${TILL:-$build/bin/tallyport}"
  for program in "$till" "$build/bench/StartupFloor"; do
    [[ -x "$program" ]] || { echo "missing $program: build first" >&2; exit 1; }
  done
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ "$(tail -c1 "$work/display" | od -An -c)" == *'\n'* ]] && break; sleep 0.05; done
  exec 3>&-
  export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
  local home="$work/home"
  mkdir -m 700 "$home"
  "$till" --first-configuration "$home/TallyportConfig.ini" https://127.0.0.1:8443 "$home/ca.pem"
  export TALLYPORT_HOME="$home" TALLYPORT_LOCK_DIR="$home"
  local name program
  for name in floor till; do
    program="$build/bench/StartupFloor"
    [[ $name == till ]] && program="$till"
    # The first dump is everything up to the event loop; the program then runs on until ended.
    (cd "$home" && exec valgrind --tool=callgrind --callgrind-out-file="$work/$name.out" \
      --dump-before='QCoreApplication::exec()' "$program" >/dev/null 2>&1) &
    local pid=$!
    pids+=($pid)
    for _ in $(seq 600); do [[ -s "$work/$name.out.1" ]] && break; sleep 0.1; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -f "$home/Tallyport.exe.lock"
  done
  awk -v f="$(totals "$work/floor.out.1")" -v t="$(totals "$work/till.out.1")" \
    'BEGIN { printf "floor  %7.1f M instructions to the event loop\n", f / 1e6;
             printf "till   %7.1f M\nratio  %.3fx\n", t / 1e6, t / f }'
}

case "$mode" in
  pay) pay ;;
  startup) startup ;;
  *) echo "usage: $0 pay|startup" >&2; exit 2 ;;
esac
