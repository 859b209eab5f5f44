#!/usr/bin/env bash
# Builds the portable Windows zip: installs what the cross build needs (setup.sh --windows),
# cross-builds videolens.exe in Release in build-windows-release/ and writes
# dist/videolens-VERSION-windows-x64.zip (scripts/package_windows.sh: the program, README.txt,
# the licences). Fails with a message, writing no zip, when the build has no program to package.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
./scripts/setup.sh --windows
build=build-windows-release
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DWL_BUILD_TESTS=OFF >/dev/null
if ! ninja -C "$build" -t targets all | grep -q '^videolens\.exe:'; then
  echo "build-windows.sh: the Windows build has no target videolens.exe: no zip written" >&2
  exit 1
fi
cmake --build "$build" -j"$(nproc)" --target videolens
./scripts/package_windows.sh "$build" dist
