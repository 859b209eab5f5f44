#!/usr/bin/env bash
# Builds the program and starts it. On a fresh Debian machine it installs what is needed
# first.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)" --target videolens
exec ./build/videolens
