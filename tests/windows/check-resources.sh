#!/usr/bin/env bash
# The Windows programs of the build carry what Explorer, the taskbar and the file's Properties
# show: an icon group (resource type 14), a version (16) with the build's version and the
# program's file name, and a manifest (24) that runs it as invoker, per-monitor DPI aware.
#   check-resources.sh VERSION PROGRAM.exe ...
set -u
version="$1"
shift
# Windows' four numbers: 1.0 is 1.0.0.0.
IFS=. read -r -a parts <<<"$version"
while [ "${#parts[@]}" -lt 4 ]; do parts+=(0); done
four="$(IFS=.; echo "${parts[*]:0:4}")"

status=0
fail() {
  echo "$name: $1"
  status=1
}
# The value after a key of the version resource's strings (UTF-16, each on its own after the
# zeros between them).
value() {
  wrestool -x --raw --type=16 "$exe" 2>/dev/null | iconv -f UTF-16LE -t UTF-8 -c | tr '\0' '\n' |
    grep -a -v '^$' | grep -a -A1 "$1\$" | tail -n 1
}
for exe in "$@"; do
  name="$(basename "$exe")"
  if ! listed="$(wrestool -l "$exe" 2>&1)"; then
    fail "wrestool: $listed"
    continue
  fi
  for type in 14 16 24; do
    grep -q -- "--type=$type " <<<"$listed" || fail "no resource of type $type"
  done
  for pair in "ProductVersion=$version" "FileVersion=$four" "OriginalFilename=$name"; do
    found="$(value "${pair%%=*}")"
    [ "$found" = "${pair#*=}" ] || fail "${pair%%=*} '$found', not '${pair#*=}'"
  done
  [ -n "$(value FileDescription)" ] || fail "no FileDescription"
  manifest="$(wrestool -x --raw --type=24 "$exe" 2>/dev/null)"
  # Windows refuses to start a program whose manifest is not well-formed XML.
  python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parseString(sys.stdin.buffer.read())' \
    <<<"$manifest" 2>/dev/null || fail "manifest is not well-formed XML"
  # Windows 7 and Windows 10/11 among the systems it is made for.
  for wanted in 'level="asInvoker"' '>PerMonitor<' '>true/pm<' \
    'Microsoft.Windows.Common-Controls' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    grep -qF -- "$wanted" <<<"$manifest" || fail "manifest without $wanted"
  done
done
[ "$status" = 0 ] && echo "icon, version $version and manifest in: $*"
exit "$status"
