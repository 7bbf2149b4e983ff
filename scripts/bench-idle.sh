#!/usr/bin/env bash
# Idle cost of a logged-in till (checkout and floating icon shown, nothing typed) next to the
# start-up floor's bare window, both on one private Xvfb for the same SECONDS (default 60) after
# a warm-up: CPU used (user + system, % of one core) and wake-ups per second (context switches
# of all the process's threads). The till logs in to a private sandbox gateway.
#   scripts/bench-idle.sh [SECONDS]          (BUILD=dir picks the build, default build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$root/build}"
seconds="${1:-60}"
warmup=8
for program in "$build/bin/tallyport" "$build/bin/tallyport-sandbox" "$build/bench/StartupFloor"; do
  [[ -x "$program" ]] || { echo "missing $program: build first" >&2; exit 1; }
done

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

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
# Xvfb writes the number, then a newline, once it accepts connections.
for _ in $(seq 100); do [[ "$(tail -c1 "$work/display" | od -An -c)" == *'\n'* ]] && break; sleep 0.05; done
exec 3>&-
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb TALLYPORT_PLAYER=true

home="$work/home"
mkdir -m 700 "$home" "$home/sandbox"
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
"$build/bin/tallyport-sandbox" --port "$port" --data-dir "$home/sandbox" >"$work/sandbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "listening on" "$work/sandbox.log" && break; sleep 0.1; done
"$build/bin/tallyport" --first-configuration "$home/TallyportConfig.ini" \
  "https://127.0.0.1:$port" "$home/sandbox/ca.pem"
printf '[USERNAME]\r\nusername=13800000000\r\n[PASSWORD]\r\npassword=123456\r\n' \
  >>"$home/TallyportConfig.ini"
sed -i 's/^autologin=0/autologin=1/' "$home/TallyportConfig.ini"
export TALLYPORT_HOME="$home" TALLYPORT_LOCK_DIR="$home"

(cd "$home" && exec "$build/bin/tallyport") >"$work/till.log" 2>&1 &
till=$!
pids+=($till)
"$build/bench/StartupFloor" >/dev/null 2>&1 &
floor=$!
pids+=($floor)
sleep "$warmup"
[[ -n "${SHOT:-}" ]] && import -window root "$SHOT"   # SHOT=file.png keeps what was on screen

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null \
    | awk '/ctxt_switches/ { n += $2 } END { print n }'
}
hz="$(getconf CLK_TCK)"
t0=$(ticks $till); f0=$(ticks $floor); w0=$(switches $till); v0=$(switches $floor)
sleep "$seconds"
t1=$(ticks $till); f1=$(ticks $floor); w1=$(switches $till); v1=$(switches $floor)
echo "idle over ${seconds} s after a ${warmup} s warm-up"
awk -v a=$((t1 - t0)) -v b=$((f1 - f0)) -v hz="$hz" -v s="$seconds" -v w=$((w1 - w0)) \
  -v v=$((v1 - v0)) 'BEGIN {
    printf "floor  CPU %5.2f %% of one core   wake-ups %5.1f /s\n", 100 * b / hz / s, v / s
    printf "till   CPU %5.2f %% of one core   wake-ups %5.1f /s\n", 100 * a / hz / s, w / s }'
