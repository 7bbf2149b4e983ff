#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tallyport needs.
# Non-interactive and idempotent: when everything is present it returns in a second.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config clang-format ccache
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5x11extras5-dev libqt5svg5-dev
  qtmultimedia5-dev libqt5multimedia5-plugins qttools5-dev-tools
  libcurl4-openssl-dev libboost-dev libcpp-httplib-dev libssl-dev libsqlite3-dev
  libgtest-dev libbenchmark-dev libx11-dev libxcb1-dev
  # sanitizer builds and fuzz targets (clang's runtimes and libFuzzer; llvm-symbolizer names
  # the functions in sanitizer reports and suppressions)
  clang libclang-rt-14-dev llvm
  # images and sound made at build time
  librsvg2-bin icoutils espeak-ng sox
  # running and testing: X server, input, screenshots, fonts
  xvfb xdotool x11-utils x11-xserver-utils imagemagick fonts-wqy-microhei fonts-noto-cjk
  # a tray host for the tray icon under Xvfb
  trayer
  # serial lines, printing, barcodes, audio
  socat cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils zbar-tools
  alsa-utils pulseaudio pulseaudio-utils
  # tests and tools
  openssl sqlite3 jq curl procps psmisc
  # the Debian package: building (dpkg-shlibdeps), checking its desktop entries
  dpkg-dev desktop-file-utils lintian
  # the Chinese locale the Windows till runs in under Wine (code page 936)
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

sudo_cmd=""
if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
if [ ${#missing[@]} -ne 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  echo "setup: done"
fi
# Wine takes its code page from the system locale of LANG, which must exist.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  $sudo_cmd sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  $sudo_cmd locale-gen zh_CN.UTF-8 >/dev/null
fi
