#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, as CTest's emulator and by hand:
#   scripts/wine-run.sh PROGRAM.exe [ARGUMENTS ...]
#   scripts/wine-run.sh --prepare        sets the Wine prefix up, runs nothing
# With the DLLs and plugins of the Windows prefix ($TALLYPORT_WINDOWS_PREFIX) on the path, in
# a Chinese locale (code page 936), quiet. Wine does not hand variables named QT_... to the
# programs it runs, so the two Qt needs are set in the Wine prefix's user environment: Qt's
# plugins, and its messages and test logs written to the output rather than to the debugger. The Wine prefix is $TALLYPORT_WINE_PREFIX when set
# (a test phase makes one and ends its server itself); otherwise one of its own, made for this
# run, whose server is ended and which is removed afterwards, however the run ends.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
windows="${TALLYPORT_WINDOWS_PREFIX:-$(bash "$root/scripts/windows-deps.sh" --path 2>/dev/null)}"
if [ -z "$windows" ] || [ ! -d "$windows" ]; then
  echo "wine-run: no Windows prefix (scripts/windows-deps.sh)" >&2
  exit 2
fi
export WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}" LANG=zh_CN.UTF-8
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPATH="Z:$windows/qt/bin;Z:$windows/runtime;Z:$windows/curl/bin"

own=""
if [ -z "${TALLYPORT_WINE_PREFIX:-}" ]; then
  own="$(mktemp -d "${TMPDIR:-/tmp}/tallyport-wine.XXXXXX")"
  export WINEPREFIX="$own"
  end() { bash "$root/scripts/wine-end.sh" "$own"; }
  trap end EXIT
  trap 'exit 130' INT TERM HUP
else
  export WINEPREFIX="$TALLYPORT_WINE_PREFIX"
fi
prepare() {
  local stamp="$WINEPREFIX/.tallyport-environment"
  [ "$(cat "$stamp" 2>/dev/null)" = "$windows" ] && return 0
  wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null 2>&1 &&
    wine reg add 'HKCU\Environment' /v QT_PLUGIN_PATH /d "Z:$windows/qt/plugins" /f \
      >/dev/null 2>&1 &&
    echo "$windows" >"$stamp"
}
prepare
if [ "${1:-}" = "--prepare" ]; then exit 0; fi
# In a prefix of its own the run ends it afterwards; in another one the program takes this
# process's place, so that whoever started it can end it.
if [ -n "$own" ]; then wine "$@"; else exec wine "$@"; fi
