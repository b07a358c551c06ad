# Sourced by e2e_backup.sh inside its namespace, once $T, PIDS and FAILURES
# are set: the clean-up on exit, the protocol of checks, and the one event
# pipe every background helper reports on.
# shellcheck shell=bash disable=SC2016,SC2034
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${PIDS[@]}"; do
        wait "$pid" 2>/dev/null
    done
    if [ "${VW_E2E_KEEP:-}" = 1 ]; then
        echo "kept $T"
    else
        rm -rf "$T"
    fi
}
trap cleanup EXIT

say() { echo "[$(date +%H:%M:%S)] $*"; }

show_file() {
    [ -s "$1" ] || return 0
    echo "----- $1"
    tail -n 40 "$1"
}

diagnostics() {
    show_file "$T/events.log"
    show_file "$T/program.out"
    show_file "$T/telnetd.err"
    show_file "$T/ftp.log"
    show_file "$T/ftp.err"
    show_file "$T/http.log"
    show_file "$T/http.err"
    show_file "$T/sshd.err"
    show_file "$T/program2.out"
    show_file "$T/http-slow.log"
    show_file "$T/http-slow.err"
    show_file "$T/bin2/vaultwck.log"
    show_file "$T/db/err.log"
    [ -e "$T/bin/vaultwck.log" ] && { echo "----- $T/bin/vaultwck.log"; cat -A "$T/bin/vaultwck.log"; }
    echo "----- files below $T/local"
    find "$T/local" | sort
    echo "----- telnet logins: let in [$(tr '\n' ' ' <"$H/.logins" 2>/dev/null)], refused [$(tr '\n' ' ' <"$H/.refused" 2>/dev/null)]"
    local call
    for call in "$H"/calls/*; do
        [ -e "$call" ] && echo "mysqldump call ${call##*/}: $(tr '\0' ' ' <"$call")"
    done
}

abort() {
    echo "FAIL: $*"
    diagnostics
    exit 1
}

# check DESCRIPTION CONDITION: the condition is shell code, run when checked.
check() {
    if eval "$2"; then
        echo "ok    $1"
    else
        echo "FAIL  $1"
        FAILURES=$((FAILURES + 1))
    fi
}

# Every background helper reports on one pipe, one line per event: peers
# that are ready, files the program puts in place, the program's start and
# end. Waiting is a blocking read on it, bounded in time.
mkfifo "$T/events"
exec 3<>"$T/events"
: >"$T/events.log"

# await PATTERN SECONDS [ABORT-PATTERN]: 0 when a line matching PATTERN has
# come (in EVENT), 1 when the time is up, 2 when a line matching
# ABORT-PATTERN came first. Lines seen before count too.
EVENT=
await() {
    local pattern=$1 end=$((SECONDS + $2)) abort_pattern=${3:-} line
    while IFS= read -r line; do
        # shellcheck disable=SC2254
        case $line in $pattern) EVENT=$line; return 0 ;; esac
    done <"$T/events.log"
    while [ "$SECONDS" -lt "$end" ]; do
        IFS= read -r -t "$((end - SECONDS))" -u 3 line || return 1
        printf '%s\n' "$line" >>"$T/events.log"
        # shellcheck disable=SC2254
        case $line in $pattern) EVENT=$line; return 0 ;; esac
        # shellcheck disable=SC2254
        if [ -n "$abort_pattern" ]; then case $line in $abort_pattern) EVENT=$line; return 2 ;; esac; fi
    done
    return 1
}
