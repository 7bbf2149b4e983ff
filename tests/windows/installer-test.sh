#!/usr/bin/env bash
# The installer under Wine: TallyportSetup-VERSION.exe /S into a Wine prefix of its own, on an
# Xvfb display of its own. The files, the Start-menu entries and the Add/Remove Programs entry
# are there; the installed till starts, shows its window and keeps its data in
# %LOCALAPPDATA%\tallyport; while it runs, setup refuses; uninstall.exe /S
# removes the program files, the entries and the till's Run value, and keeps the shop's data.
#   tests/windows/installer-test.sh SETUP.exe
set -uo pipefail
setup="$(readlink -f "$1")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/tallyport-setup.XXXXXX")"
xvfb=""
end() {
  bash "$root/scripts/wine-end.sh" "$prefix"
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; fi
}
trap end EXIT
trap 'exit 130' INT TERM HUP

failures=0
check() { # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then echo "PASS   : $what"; else echo "FAIL!  : $what"; failures=$((failures + 1)); fi
}
# Waits for a condition for up to $1 seconds, looking every half second.
within() {
  local seconds="$1"; shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.5
  done
}

exec 3< <(Xvfb -displayfd 1 -screen 0 1366x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -t 30 number <&3 || { echo "FAIL!  : Xvfb did not start"; exit 1; }
export DISPLAY=":$number" WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8
wineboot -i >/dev/null 2>&1 || { echo "FAIL!  : the Wine prefix did not boot"; exit 1; }

check "setup /S ends with 0" wine "$setup" /S
program="$prefix/drive_c/Program Files/Tallyport"
for file in Tallyport.exe KeyHook.exe Download.exe pay.wav installed uninstall.exe \
  Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll Qt5Network.dll Qt5PrintSupport.dll libcurl-4.dll \
  zlib1.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll \
  styles/qwindowsvistastyle.dll printsupport/windowsprintersupport.dll imageformats/qico.dll; do
  check "installed: $file" test -f "$program/$file"
done
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tallyport"
check "Start-menu entry of the till" test -f "$menu/Tallyport.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyport'
check "Add/Remove Programs entry" sh -c "wine reg query '$uninstall_key' /v QuietUninstallString 2>/dev/null | grep -q 'uninstall.exe\" /S'"

# The installed till: its DLLs and plug-ins are enough to show its window, and it keeps its
# data in the user's local application data.
wine "C:\\Program Files\\Tallyport\\Tallyport.exe" >/dev/null 2>&1 &
data="$prefix/drive_c/users/$(id -un)/AppData/Local/tallyport"
check "the till's window is shown" within 60 sh -c "xdotool search --onlyvisible --class tallyport.exe >/dev/null 2>&1"
check "configuration in %LOCALAPPDATA%\\tallyport" within 30 test -f "$data/TallyportConfig.ini"
check "ledger in %LOCALAPPDATA%\\tallyport" within 30 test -f "$data/ledger.db"
check "nothing written beside the program" sh -c "! ls '$program' | grep -q -E '\\.(ini|log|db)\$'"
# While a till runs, setup refuses and changes nothing.
wine "$setup" /S
code=$?
check "setup refused while the till runs (exit $code, 2 expected)" test "$code" -eq 2
check "the till's files kept while it runs" test -f "$program/Tallyport.exe" -a -f "$program/platforms/qwindows.dll"
wine taskkill /im Tallyport.exe /f >/dev/null 2>&1
within 30 sh -c "! xdotool search --onlyvisible --class tallyport.exe >/dev/null 2>&1"

# Start at logon was ticked; the uninstaller takes the value away, and leaves the data.
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine reg add "$run_key" /v Tallyport /d 'C:\Program Files\Tallyport\Tallyport.exe' /f >/dev/null 2>&1
wine "C:\\Program Files\\Tallyport\\uninstall.exe" /S
check "program files removed" within 60 test ! -e "$program/Tallyport.exe"
check "plug-ins removed" within 30 test ! -e "$program/platforms"
check "Start-menu entries removed" within 30 test ! -e "$menu"
check "Add/Remove Programs entry removed" within 30 sh -c "! wine reg query '$uninstall_key' >/dev/null 2>&1"
check "Run value removed" sh -c "! wine reg query '$run_key' /v Tallyport >/dev/null 2>&1"
check "the shop's data kept" test -f "$data/ledger.db" -a -f "$data/TallyportConfig.ini"

echo "Totals: $failures failed"
[ "$failures" -eq 0 ]
