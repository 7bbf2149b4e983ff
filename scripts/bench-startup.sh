#!/usr/bin/env bash
# Start-up and memory of the till's login window against the floor (bench/StartupFloor: a bare
# Qt window with the same heading, two line edits and a 12-key keypad), on a private Xvfb.
# Runs the two interleaved RUNS times (default 15) and prints each one's median time from the
# fork to its window mapped, its median resident memory 1.5 s after that, and the ratios.
#   scripts/bench-startup.sh [RUNS]   (BUILD=dir picks the build, default build/; TILL=program
#                                      times another till binary against the same floor;
#                                      BEFORE=program times a second till in the same rotation,
#                                      the old and the new build alternating)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$root/build}"
runs="${1:-15}"
till="${TILL:-$build/bin/tallyport}"
before="${BEFORE:-}"
for program in "$till" "$build/bench/StartupFloor" "$build/bench/MapTime" ${before:+"$before"}; do
  [[ -x "$program" ]] || { echo "missing $program: build first" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
# However it ends (Ctrl-C, kill, a closed terminal), what it started ends with it.
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# A private display: Xvfb picks a free number and writes it to fd 3.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
# Xvfb writes the number, then a newline, once it accepts connections.
for _ in $(seq 100); do [[ "$(tail -c1 "$work/display" | od -An -c)" == *'\n'* ]] && break; sleep 0.05; done
exec 3>&-
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb

# The till as a new user starts it: a first configuration, its own home and lock.
home="$work/home"
mkdir -m 700 "$home"
"$till" --first-configuration "$home/TallyportConfig.ini" \
  https://127.0.0.1:8443 "$home/ca.pem"
export TALLYPORT_HOME="$home" TALLYPORT_LOCK_DIR="$home"

: >"$work/floor" ; : >"$work/till" ; : >"$work/before"
# A run whose window does not map (said on stderr) is left out.
for _ in $(seq "$runs"); do
  "$build/bench/MapTime" Tallyport 1500 "$build/bench/StartupFloor" >>"$work/floor" || true
  if [[ -n "$before" ]]; then
    rm -f "$home/Tallyport.exe.lock"
    (cd "$home" && "$build/bench/MapTime" Tallyport 1500 "$before") >>"$work/before" || true
  fi
  rm -f "$home/Tallyport.exe.lock"   # left behind by the SIGTERM that ended the last till
  (cd "$home" && "$build/bench/MapTime" Tallyport 1500 "$till") >>"$work/till" || true
done

# shellcheck source=scripts/startup-report.sh
. "$root/scripts/startup-report.sh"
if [[ -n "$before" ]]; then
  echo "before ($before):"
  startup_report "$work/floor" "$work/before" "$runs"
  echo "till ($till):"
fi
startup_report "$work/floor" "$work/till" "$runs"
