#!/usr/bin/env bash
# Builds the Debian package build/package/tallyport_VERSION_ARCH.deb (CPack, rules in
# packaging/). Install it with: sudo apt install ./build/package/tallyport_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TALLYPORT_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" >/dev/null
log="$build/package/cpack.log"
mkdir -p "$build/package"
if ! (cd "$build" && cpack --config CPackConfig.cmake >"$log" 2>&1); then
  cat "$log" >&2
  exit 1
fi
deb="$(ls -t "$build"/package/tallyport_*.deb | head -1)"
echo "package: $deb ($(du -h "$deb" | cut -f1))"
dpkg-deb --field "$deb" Package Version Architecture Depends
echo
