#!/usr/bin/env bash
# Installs what the program and its tests need from Debian's packages and
# builds both into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

install_missing "${PROGRAM_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build build --parallel "$(nproc)"
