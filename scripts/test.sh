#!/usr/bin/env bash
# Set up, build and run the whole test suite (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

# The fuzz targets need clang's libFuzzer: a small build of their own, each
# run bounded by its count of inputs.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DVW_FUZZ=ON >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target vw_fuzz_targets
(cd build-fuzz && ctest --output-on-failure -L fuzz)

cd build
ctest --output-on-failure --timeout 600 -j2 "$@"
