#!/usr/bin/env bash
# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-sanitize/), then the fuzz targets (build-fuzz/, clang). Installs
# nothing: scripts/setup.sh brings what both need.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in g++ clang++ cmake ninja; do
  command -v "$tool" >/dev/null || { echo "$tool missing: run scripts/setup.sh first" >&2; exit 2; }
done
jobs="${VW_JOBS:-$(nproc)}"
export QT_QPA_PLATFORM=offscreen
# Stop at the first fault with a stack; leaks of the libraries below the
# program are theirs (lsan.supp).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"

status=0
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVW_SANITIZE=ON >/dev/null
cmake --build build-sanitize --parallel "$jobs"
(cd build-sanitize && ctest --output-on-failure --timeout 900 -j"$jobs" -LE 'e2e|package|fuzz' "$@") || status=1

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DVW_FUZZ=ON >/dev/null
cmake --build build-fuzz --parallel "$jobs" --target vw_fuzz_targets
(cd build-fuzz && ctest --output-on-failure -L fuzz) || status=1
exit "$status"
