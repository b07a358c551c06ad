# Sourced by the set-up scripts: the Debian packages by name, and how they
# are installed.

# What the program needs to build and run: nothing here starts a service.
PROGRAM_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libjpeg62-turbo-dev zlib1g-dev libzstd-dev libssh-dev libssl-dev
  # Qt's own texts in German (message box buttons and the like)
  qt6-translations-l10n
  # passwords in the desktop's keyring (QtKeychain talks to it through libsecret)
  qtkeychain-qt6-dev libsecret-1-0
)

# What only the tests and the benchmarks need: their peers (started by the
# fixtures themselves on loopback or in namespaces), tools and checks.
TEST_PACKAGES=(
  busybox-static python3 python3-pyftpdlib python3-openssl pure-ftpd python3-aiosmtpd openssl gzip zstd openssh-server openssh-client
  xvfb xauth imagemagick fonts-dejavu-core
  # whole-program test in a network namespace, and the benchmarks
  mariadb-server mariadb-client iproute2 util-linux inotify-tools curl time
  # the Debian package and the check of its desktop files
  dpkg-dev file desktop-file-utils appstream
  # a private Secret Service for the keyring tests, and its command-line client
  gnome-keyring libsecret-tools dbus-daemon dbus-bin
  # the off-site copies' tools (a user installs the one a task names)
  rclone restic
  # fuzz targets (libFuzzer) and the sanitizer build
  clang libclang-rt-14-dev
)

# Tools the program runs only when a task is set up to use them; they are
# suggested, never installed by the run command.
# The test restore: a local server program and its client (never started as a service by the program).
SUGGESTED_PACKAGES=(mariadb-server mariadb-client)

# Installs those of the given packages that are missing. Services that a
# package would start (sshd, mariadb) are kept from starting, so a set-up
# leaves no server running on the user's machine.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  local policy=/usr/sbin/policy-rc.d ours=""
  if [ ! -e "$policy" ]; then
    # invoke-rc.d asks this before it starts a service: 101 means "not now".
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
    ours=1
  fi
  local status=0
  $SUDO apt-get update -qq || status=$?
  if [ $status -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" || status=$?
  fi
  [ -n "$ours" ] && $SUDO rm -f "$policy"
  # Where systemd started a unit anyway (socket activation), stop it and keep it off.
  if [ -d /run/systemd/system ]; then
    for unit in ssh.service ssh.socket mariadb.service pure-ftpd.service; do
      if systemctl is-enabled --quiet "$unit" 2>/dev/null || systemctl is-active --quiet "$unit" 2>/dev/null; then
        case " ${missing[*]} " in
          *" openssh-server "*|*" mariadb-server "*|*" pure-ftpd "*) $SUDO systemctl disable --now "$unit" >/dev/null 2>&1 || true ;;
        esac
      fi
    done
  fi
  return $status
}
