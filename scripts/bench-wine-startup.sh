#!/usr/bin/env bash
# Start-up and memory of the installed Windows till under Wine against the floor cross-built
# the same way (StartupFloor.exe: a bare Qt window with the same heading, line edits and
# keypad, run beside the till with the same DLLs and plug-ins), as scripts/bench-startup.sh
# does for the Linux build. In a Wine prefix and on an Xvfb display of their own: the installer
# (silently), one first start of the till (its first configuration), then RUNS interleaved
# starts of each (default 11) to the login window mapped, their median times and resident
# memory 1.5 s after, and the ratios; and the installer's size. The prefix's server is kept
# running between the starts, as Windows is: the times are those of a program's start, not of
# Wine's.
#   scripts/bench-wine-startup.sh [RUNS]   (BUILD=dir: the Linux build with MapTime, default
#                                            build/; WINDOWS_BUILD=dir, default build-windows/;
#                                            BEFORE=Tallyport.exe of another build, timed in
#                                            the same rotation in the installed one's place)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$root/build}"
windows_build="${WINDOWS_BUILD:-$root/build-windows}"
runs="${1:-11}"
setup="$(ls "$windows_build"/package/TallyportSetup-*.exe 2>/dev/null | head -1)"
floor="$windows_build/bench/StartupFloor.exe"
before="${BEFORE:-}"
for file in "$build/bench/MapTime" "$floor" "$setup" ${before:+"$before"}; do
  [[ -f "$file" ]] || { echo "missing ${file:-the installer}: build both first" >&2; exit 1; }
done

work="$(mktemp -d)"
prefix="$work/prefix"
xvfb_pid=""
cleanup() {
  [[ -d "$prefix" ]] && bash "$root/scripts/wine-end.sh" "$prefix"
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

exec 3< <(Xvfb -displayfd 1 -screen 0 1366x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r -t 30 number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
mkdir "$prefix"
export DISPLAY=":$number" WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8
wineserver -p
wineboot -i >/dev/null 2>&1
wine "$setup" /S
program="$prefix/drive_c/Program Files/Tallyport"
cp "$floor" "$program/StartupFloor.exe"
# The other build's till beside the installed one, stripped as the installer strips its till
# (Wine reads a program's debug sections into memory with it); it takes the installed one's
# name for its runs (a program named otherwise is another till to Windows: its own mutex and
# Run value), with the same DLLs, plug-ins and data.
[[ -n "$before" ]] && x86_64-w64-mingw32-strip -o "$program/Tallyport.exe.before" "$before"
swap() {
  mv "$program/Tallyport.exe" "$program/Tallyport.exe.swap"
  mv "$program/Tallyport.exe.before" "$program/Tallyport.exe"
  mv "$program/Tallyport.exe.swap" "$program/Tallyport.exe.before"
}
# The first start writes the first configuration; it is not one of the timed starts.
"$build/bench/MapTime" Tallyport 1500 wine 'C:\Program Files\Tallyport\Tallyport.exe' >/dev/null

: >"$work/floor" ; : >"$work/till" ; : >"$work/before"
for _ in $(seq "$runs"); do
  "$build/bench/MapTime" Tallyport 1500 wine 'C:\Program Files\Tallyport\StartupFloor.exe' \
    >>"$work/floor" || true
  if [[ -n "$before" ]]; then
    swap
    "$build/bench/MapTime" Tallyport 1500 wine 'C:\Program Files\Tallyport\Tallyport.exe' \
      >>"$work/before" || true
    swap
  fi
  "$build/bench/MapTime" Tallyport 1500 wine 'C:\Program Files\Tallyport\Tallyport.exe' \
    >>"$work/till" || true
done

# shellcheck source=scripts/startup-report.sh
. "$root/scripts/startup-report.sh"
echo "installer $(basename "$setup"): $(stat -c %s "$setup") bytes"
if [[ -n "$before" ]]; then
  echo "before ($before):"
  startup_report "$work/floor" "$work/before" "$runs"
  echo "installed till:"
fi
startup_report "$work/floor" "$work/till" "$runs"
