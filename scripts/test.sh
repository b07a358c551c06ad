#!/usr/bin/env bash
# Set up, build and run the whole test suite (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure --timeout 600 -j2 "$@"
