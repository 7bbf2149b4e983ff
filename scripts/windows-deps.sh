#!/usr/bin/env bash
# Builds the Windows prefix that the cross-built till links against: Qt (qtbase), curl with
# Schannel, and SQLite, all from Debian's source packages, for x86_64-w64-mingw32 (posix
# threads). Also installs what building and testing the Windows till needs (mingw-w64, Wine,
# NSIS). Nothing prebuilt is downloaded, and nothing is built inside the checkout.
#
#   scripts/windows-deps.sh          builds the prefix when it is missing (the first run takes
#                                    about 35 to 45 minutes on two cores), then prints its path
#   scripts/windows-deps.sh --path   prints the prefix's path; exit 1 when it is not built yet
#   scripts/windows-deps.sh --key    prints the key of the prefix this script would build
#
# The prefix lives in $TALLYPORT_WINDOWS_CACHE (default ~/.cache/tallyport-windows), in a
# directory named after a key made of the source versions, the build options and this
# script's own text: a second run with the same key does nothing, and a changed script or a
# new source version builds a new prefix beside the old one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="${TALLYPORT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tallyport-windows}"
jobs="$(nproc 2>/dev/null || echo 2)"
host=x86_64-w64-mingw32

say() { echo "windows-deps: $*" >&2; }

qt_options=(
  -xplatform win32-g++ -device-option "CROSS_COMPILE=$host-"
  -release -shared -opensource -confirm-license -nomake examples -nomake tests
  -no-opengl -no-dbus -no-icu -no-openssl -no-feature-sql -no-feature-tabletevent
  -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre
)
curl_options=(
  --with-schannel --without-openssl --without-libpsl --without-brotli --without-zstd
  --without-libidn2 --without-nghttp2 --without-libssh2 --disable-ldap --disable-manual
  --enable-shared --disable-static
)
sqlite_flags=(-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION)

# --- what the build needs on this machine -------------------------------------------------
install_packages() {
  local packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev
    wine wine64 nsis dpkg-dev tcl perl python3 make xz-utils libboost-dev)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  local sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  # Source packages come from the same archive as the binary ones.
  local sources=/etc/apt/sources.list.d/tallyport-deb-src.sources
  local need_update=0
  if [ ! -f "$sources" ]; then
    say "adding a deb-src entry ($sources)"
    $sudo_cmd tee "$sources" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    need_update=1
  fi
  if [ ${#missing[@]} -ne 0 ] || [ $need_update -eq 1 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $sudo_cmd apt-get update -qq
  fi
  if [ ${#missing[@]} -ne 0 ]; then
    say "installing ${missing[*]}"
    $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

source_version() {
  apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1
}

key_of() {
  {
    echo "qtbase $(source_version qtbase-opensource-src) ${qt_options[*]}"
    echo "curl $(source_version curl) ${curl_options[*]}"
    echo "sqlite $(source_version sqlite3) ${sqlite_flags[*]}"
    cat "$0"
  } | sha256sum | cut -c1-16
}

if [ "${1:-}" = "--path" ]; then
  found=$(ls -d "$cache"/prefix-*/.complete 2>/dev/null | tail -1 || true)
  [ -n "$found" ] || exit 1
  # The newest complete prefix whose key matches this script, else none.
  if command -v apt-cache >/dev/null && apt-cache showsrc qtbase-opensource-src >/dev/null 2>&1; then
    key=$(key_of)
    [ -f "$cache/prefix-$key/.complete" ] || exit 1
    echo "$cache/prefix-$key"
  else
    dirname "$found"
  fi
  exit 0
fi

if [ "${1:-}" = "--key" ]; then
  key_of
  exit 0
fi

install_packages
key=$(key_of)
prefix="$cache/prefix-$key"
if [ -f "$prefix/.complete" ]; then
  say "prefix up to date"
  echo "$prefix"
  exit 0
fi
work="$cache/work-$key"
mkdir -p "$work" "$prefix"
started=$(date +%s)
stamp() { say "$1 ($(($(date +%s) - started)) s)"; }

# The posix-thread compilers under their plain names (std::thread needs them).
tools="$work/tools"
mkdir -p "$tools"
for tool in gcc g++; do
  ln -sf "/usr/bin/$host-$tool-posix" "$tools/$host-$tool"
done
export PATH="$tools:$PATH"

fetch() {
  local package=$1 dir="$work/src/$1"
  if [ ! -d "$dir" ]; then
    mkdir -p "$work/download/$package" "$work/src"
    (cd "$work/download/$package" && apt-get source --download-only -qq "$package" >/dev/null 2>&1)
    local dsc
    dsc=$(ls "$work/download/$package"/*.dsc | head -1)
    dpkg-source --no-check -x "$dsc" "$dir" >/dev/null
  fi
  echo "$dir"
}

# --- SQLite: the amalgamation made on the host, compiled for Windows ------------------------
if [ ! -f "$prefix/sqlite/lib/libsqlite3.a" ]; then
  stamp "sqlite: fetching"
  src=$(fetch sqlite3)
  mkdir -p "$work/sqlite-host"
  (cd "$work/sqlite-host" && [ -f Makefile ] || "$src/configure" --disable-tcl >/dev/null)
  make -C "$work/sqlite-host" sqlite3.c >/dev/null
  stamp "sqlite: compiling"
  mkdir -p "$prefix/sqlite/lib" "$prefix/sqlite/include"
  $host-gcc "${sqlite_flags[@]}" -c "$work/sqlite-host/sqlite3.c" -o "$work/sqlite3.o"
  $host-ar rcs "$prefix/sqlite/lib/libsqlite3.a" "$work/sqlite3.o"
  cp "$work/sqlite-host/sqlite3.h" "$work/sqlite-host/sqlite3ext.h" "$prefix/sqlite/include/"
fi

# --- curl with Schannel ---------------------------------------------------------------------
if [ ! -f "$prefix/curl/bin/libcurl-4.dll" ]; then
  stamp "curl: fetching"
  src=$(fetch curl)
  build="$work/curl-build"
  mkdir -p "$build"
  stamp "curl: configuring"
  (cd "$build" && "$src/configure" --host=$host --prefix="$prefix/curl" \
    --with-zlib=/usr/$host "${curl_options[@]}" >/dev/null)
  stamp "curl: building"
  nice -n 10 make -C "$build" -j"$jobs" >/dev/null
  make -C "$build" install >/dev/null
fi

# --- qtbase ---------------------------------------------------------------------------------
if [ ! -f "$prefix/qt/lib/cmake/Qt5Widgets/Qt5WidgetsConfig.cmake" ]; then
  stamp "qtbase: fetching"
  src=$(fetch qtbase-opensource-src)
  build="$work/qtbase-build"
  mkdir -p "$build"
  if [ ! -f "$build/Makefile" ]; then
    stamp "qtbase: configuring (about 5 minutes)"
    (cd "$build" && nice -n 10 "$src/configure" -prefix "$prefix/qt" "${qt_options[@]}" \
      >"$work/qtbase-configure.log" 2>&1) || {
      tail -40 "$work/qtbase-configure.log" >&2
      exit 1
    }
  fi
  stamp "qtbase: building (about 20 to 30 minutes)"
  (nice -n 10 make -C "$build" -j"$jobs" >"$work/qtbase-make.log" 2>&1) || {
    tail -40 "$work/qtbase-make.log" >&2
    exit 1
  }
  make -C "$build" install >"$work/qtbase-install.log" 2>&1
fi

# Boost's headers (property_tree, header-only) on their own, so that the cross build does not
# see the host's other headers.
mkdir -p "$prefix/boost/include"
ln -sfn /usr/include/boost "$prefix/boost/include/boost"

# The mingw runtime DLLs a program built with these compilers needs beside it.
mkdir -p "$prefix/runtime"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  found=$($host-g++ -print-file-name="$dll")
  [ -f "$found" ] || found=$(find /usr/lib/gcc/$host /usr/$host -name "$dll" 2>/dev/null | grep -m1 posix || true)
  [ -f "$found" ] || found=$(find /usr/lib/gcc/$host /usr/$host -name "$dll" 2>/dev/null | head -1)
  cp "$found" "$prefix/runtime/"
done
cp /usr/$host/lib/zlib1.dll "$prefix/runtime/" 2>/dev/null || true

touch "$prefix/.complete"
stamp "prefix ready: $prefix"
echo "$prefix"
