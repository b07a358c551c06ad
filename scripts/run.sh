#!/usr/bin/env bash
# Installs what the program needs, builds only the program, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

install_missing "${PROGRAM_PACKAGES[@]}"
if [ ${#SUGGESTED_PACKAGES[@]} -gt 0 ]; then
  echo "Optional, for tasks that use them: ${SUGGESTED_PACKAGES[*]}"
fi

# A build directory of its own, without tests or benchmarks.
cmake -S . -B build-app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-app --parallel "$(nproc)" --target vaultwick
exec ./build-app/src/vaultwick "$@"
