#!/usr/bin/env bash
# Ends a Wine prefix made for one run: its server and every program of it, then the prefix
# and the directory of the server's socket, which Wine leaves behind in /tmp.
#   scripts/wine-end.sh PREFIX
set -u
prefix="$1"
[ -d "$prefix" ] || exit 0
# The server's directory is named after the prefix's device and inode.
server="$(printf 'server-%s-%x' "$(stat -c %D "$prefix")" "$(stat -c %i "$prefix")")"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null
WINEPREFIX="$prefix" wineserver -w 2>/dev/null
rm -rf "$prefix"
for directory in /tmp/.wine-"$(id -u)"/"$server" /tmp/wine-*/"$server"; do
  [ -d "$directory" ] || continue
  rm -rf "$directory"
  parent="$(dirname "$directory")"
  case "$parent" in /tmp/wine-*) rmdir "$parent" 2>/dev/null ;; esac
done
exit 0
