#!/usr/bin/env bash
# The set-up leaves the user's machine as it found it: the run command's
# packages start no service, and after the test command's installs no
# package-started sshd or database server is running.
#
# Usage: check_setup.sh SOURCE-DIR
# Exit 0 passed, 1 failed.
set -uo pipefail

SRC=${1:?usage: check_setup.sh SOURCE-DIR}
source "$SRC/scripts/packages.sh"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for p in "${PROGRAM_PACKAGES[@]}"; do
    case "$p" in
        *-server|*-server-*|*daemon*|gnome-keyring) fail "the run command installs the server package $p" ;;
    esac
    # A package that ships a service of any kind would start it.
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        services=$(dpkg -L "$p" 2>/dev/null | grep -E '^(/usr)?/lib/systemd/(system|user)/[^/]+\.(service|socket)$|^/etc/init\.d/|^/usr/share/dbus-1/services/|^/etc/xdg/autostart/')
        [ -z "$services" ] || fail "$p ships a service: $services"
    else
        fail "$p of the run command's list is not installed after the set-up"
    fi
done

# The fixtures start sshd with a configuration of their own (-f) and the
# database server with a data directory of their own; anything else was
# started by a package.
while read -r pid args; do
    [[ "$args" == *" -f "* ]] || fail "an sshd not started by a test runs: $pid $args"
done < <(pgrep -a -x sshd)
while read -r pid args; do
    # A server a test has just ended may linger a moment as a zombie, without arguments.
    state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)
    [ -z "$state" ] || [ "$state" = Z ] && continue
    [[ "$args" == *"--datadir="* ]] || fail "a database server not started by a test runs: $pid $args"
done < <(pgrep -a -x 'mariadbd|mysqld')

[ $failed -eq 0 ] && echo "PASS"
exit $failed
