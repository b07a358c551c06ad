#!/usr/bin/env bash
# Installs what is missing from Debian's packages and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libjpeg62-turbo-dev zlib1g-dev libzstd-dev libssh-dev
  # test peers and tools
  busybox-static python3 python3-pyftpdlib python3-aiosmtpd openssl gzip zstd openssh-server openssh-client
  xvfb xauth imagemagick fonts-dejavu-core
  # the fuzz targets (libFuzzer) and the sanitizer build (scripts/sanitize.sh)
  clang libclang-rt-14-dev
  # whole-program test in a network namespace, and the benchmarks
  mariadb-server mariadb-client iproute2 util-linux inotify-tools curl time
  # the Debian package and the check of its desktop files; Qt's own texts
  # in German (message box buttons and the like)
  dpkg-dev file desktop-file-utils appstream qt6-translations-l10n
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"
