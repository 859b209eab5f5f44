#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need. Idempotent.
#   scripts/setup.sh             the Linux build
#   scripts/setup.sh --windows   also the Windows cross build and Wine to run its tests
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
  build-essential cmake ninja-build pkg-config git ca-certificates ccache
  clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libssl-dev openssl
  duktape-dev libsqlite3-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev
  fonts-wqy-zenhei desktop-file-utils
  libgtest-dev libgmock-dev googletest libbenchmark-dev libcpp-httplib-dev
  nlohmann-json3-dev rapidjson-dev
  valgrind xvfb xauth locales curl
  nodejs
)
if [ "${1:-}" = "--windows" ]; then
  # The cross compiler and Wine; the icon's drawing (rsvg-convert, ImageMagick); the zip; and
  # for the windows' tests under Wine an X server, a window manager, input and the clipboard.
  PACKAGES+=(g++-mingw-w64-x86-64-posix mingw-w64 wine wine64 librsvg2-bin imagemagick zip unzip
    xvfb openbox xdotool xclip x11-utils)
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The number formatting tests run under a German locale (decimal comma): generate de_DE.UTF-8
# the way Debian keeps its locales, enabled in /etc/locale.gen, so a later locale-gen keeps it.
available="$(locale -a 2>/dev/null || true)"
if ! grep -qix 'de_DE\.utf-\?8' <<<"$available"; then
  if [ -f /etc/locale.gen ] && grep -q '^# *de_DE\.UTF-8 UTF-8' /etc/locale.gen; then
    $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -qs '^de_DE\.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
