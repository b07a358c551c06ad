#!/usr/bin/env bash
# The whole program against a real web host, the way a user runs it.
#
# In a network namespace of its own (so the program's fixed ports 23 and 21
# are free and nothing leaves the machine), the test builds a web host from
# real servers: busybox telnetd with a login script and a real shell,
# MariaDB with a real mysqldump, pyftpdlib for FTP and http.server for HTTP,
# and (as root) OpenSSH's sshd, logging the host user in by key in a mount
# namespace whose /etc/passwd knows that user.
# It writes the settings file with five tasks due at the same minute, starts
# the real vaultwick, lets the scheduler start them, ends the program with
# SIGTERM and checks what came of it:
#   Blog        telnet login refused (wrong login name; FTP would let it in):
#               nothing fetched, the previous backup intact
#   Shop Archive inactive: never run
#   Shop FTP    dump of "shop" fetched per FTP into the day's subdirectory
#   Shop HTTP   dump of "crm" fetched per HTTP into the same subdirectory
#   Shop SSH    dump of "shop" streamed over SSH into the same subdirectory,
#               byte-identical to what mysqldump wrote on the host
#   Catch Up    due three minutes before the start and last tried the day
#               before: made up once right after the start (its host has no
#               telnet server, so the run fails at once)
# Then several databases per task from the command line: "*" over telnet,
# a list over SSH, and that list again with its second database failing.
# Then a second copy off the machine: a restic repository, and an rclone
# destination that refuses (a warning; the local backup stands).
# Then a second, short start with one task made up the same way, whose dump
# the web server sends at a trickle: SIGTERM in mid-transfer must end the
# program at once, with no temporary file left, the previous backup as it
# was, and settings and log saved.
#
# Usage: e2e_backup.sh VAULTWICK STORE_WRITER
# Exit 0 passed, 1 failed, 77 skipped (the reason is printed).
# VW_E2E_KEEP=1 keeps the working directory for a look afterwards.
# Checks are shell code run by eval, so shellcheck cannot see their variables used.
# shellcheck disable=SC2016,SC2034
set -uo pipefail

VAULTWICK=${1:?usage: e2e_backup.sh VAULTWICK STORE_WRITER}
STORE_WRITER=${2:?usage: e2e_backup.sh VAULTWICK STORE_WRITER}
HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3

skip() {
    echo "SKIP: $*"
    exit 77
}

# ---------------------------------------------------------------------------
# Outside the namespace: see that everything is there, then re-run inside.
if [ "${VW_E2E_IN_NETNS:-}" != 1 ]; then
    need() {  # need PATH DEBIAN-PACKAGE
        [ -x "$1" ] || skip "$1 not found (Debian package $2)"
    }
    need /usr/bin/unshare util-linux
    need /usr/sbin/mariadbd mariadb-server
    need /usr/bin/mariadb-install-db mariadb-server
    need /usr/bin/mariadb mariadb-client
    need /usr/bin/mysqldump mariadb-client
    need /bin/busybox busybox-static
    need /usr/bin/inotifywait inotify-tools
    need /usr/sbin/ip iproute2
    need /usr/bin/ss iproute2
    need /usr/bin/rclone rclone
    need /usr/bin/restic restic
    need "$PY" python3
    "$PY" -c 'import pyftpdlib' 2>/dev/null || skip "pyftpdlib missing (Debian package python3-pyftpdlib)"
    need /usr/sbin/sshd openssh-server
    need /usr/bin/ssh-keygen openssh-client
    for applet in telnetd sh stty; do
        /bin/busybox --list | grep -x "$applet" >/dev/null || skip "busybox has no $applet applet"
    done
    [ -x "$VAULTWICK" ] || { echo "FAIL: no program at $VAULTWICK"; exit 1; }

    # As root a network and mount namespace (sshd's user lives in its own
    # /etc/passwd); otherwise a network namespace inside a user namespace,
    # where sshd cannot change users: then the SSH task is left out.
    if unshare --net --mount true 2>/dev/null; then
        ns=(--net --mount)
        export VW_E2E_SSH=1
    elif unshare --net true 2>/dev/null; then
        ns=(--net)
    elif unshare --user --map-root-user --net true 2>/dev/null; then
        ns=(--user --map-root-user --net)
    else
        skip "cannot make a network namespace here: $(unshare --net true 2>&1 | head -1)"
    fi
    VW_E2E_IN_NETNS=1 exec unshare "${ns[@]}" -- /bin/bash "$0" "$@"
fi

# ---------------------------------------------------------------------------
# Inside the namespace: its loopback is down until brought up.
ip link set lo up 2>/dev/null || skip "cannot bring up the loopback of the network namespace"

SSH=${VW_E2E_SSH:-0}
[ "$SSH" = 1 ] || echo "note: no SSH task (sshd needs root and a mount namespace)"

T=$(mktemp -d /tmp/vw-e2e.XXXXXX) || exit 1
PIDS=()
FAILURES=0
. "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"

# ---------------------------------------------------------------------------
# The values of the tasks. Passwords with blanks, ";" and a quote: the shell
# must get them as one argument each, and the log must never show them.
HOST_USER=webuser
WRONG_USER=webadmin
HOST_PW='Host pw;2 secret'
DB_USER=vwbackup
DB_PW="Db pass;1'x"

H=$T/host                       # the web host user's home
mkdir -p "$H/bin" "$H/calls" "$H/dumps" "$H/htdocs/dumps" "$T/db" "$T/bin" \
         "$T/home" "$T/config" "$T/data" "$T/cache" "$T/runtime" \
         "$T/local/blog" "$T/local/shop" "$T/local/archive" "$T/local/slow" || exit 1
chmod 700 "$T/runtime"
printf '%s\n' "$HOST_USER" >"$H/.login_user"
printf '%s\n' "$HOST_PW" >"$H/.login_password"
printf 'Debian GNU/Linux (Vaultwick end-to-end web host)\n' >"$H/.issue"

# The login program telnetd runs on the pty: asks, checks, then a real shell
# with the prompt the program waits for. Echo off after the password, so ash
# reads plain lines and prints its prompt without line-editing sequences.
cat >"$H/.login.sh" <<EOF
#!/bin/busybox sh
dir='$H'
cr=\$(printf '\r')
printf 'login: '
IFS= read -r name || exit 1
name=\${name%"\$cr"}
printf 'Password:'
/bin/busybox stty -echo
IFS= read -r pw || exit 1
pw=\${pw%"\$cr"}
printf '\n'
IFS= read -r want_user < "\$dir/.login_user"
IFS= read -r want_pw < "\$dir/.login_password"
if [ "\$name" != "\$want_user" ] || [ "\$pw" != "\$want_pw" ]; then
    printf '%s\n' "\$name" >> "\$dir/.refused"
    printf 'Login incorrect\n'
    exit 1
fi
printf '%s\n' "\$name" >> "\$dir/.logins"
cd "\$dir" || exit 1
unset ENV HISTFILE
export HOME="\$dir" PATH="\$dir/bin:/usr/bin:/bin" PS1='localhost> '
exec /bin/busybox sh -i
EOF

# First on the shell's PATH: keeps each call's arguments exactly (a NUL after
# each), then becomes the real mysqldump. A call over SSH (its option file on
# standard input) also keeps what it wrote, to compare with what arrived.
cat >"$H/bin/mysqldump" <<EOF
#!/bin/sh
calls='$H/calls'
n=\$(ls "\$calls" | grep -cv out)
for a in "\$@"; do printf '%s\0' "\$a"; last=\$a; done > "\$calls/\$n"
if [ -e '$H/.fail-crm' ] && [ "\$last" = crm ]; then
    echo "mysqldump: Got error: 1044: Access denied for user to database 'crm' when selecting the database" >&2
    exit 2
fi
if [ "\$1" = --defaults-extra-file=/dev/stdin ]; then
    /usr/bin/mysqldump "\$@" > "\$calls/\$n.out" || exit \$?
    exec cat "\$calls/\$n.out"
fi
exec /usr/bin/mysqldump "\$@"
EOF
chmod 755 "$H/.login.sh" "$H/bin/mysqldump"

# Yesterday's backup of the refused task, and a stale dump of it on the host
# that a wrong fetch would bring in its place.
{
    echo '-- MariaDB dump of blog, the day before'
    echo 'INSERT INTO `posts` VALUES (1,'"'"'yesterday'"'"');'
    echo '-- Dump completed on 2026-01-01  3:00:00'
} >"$T/local/blog/blog.sql"
cp -p "$T/local/blog/blog.sql" "$T/blog-before.sql"
{
    echo '-- stale dump left on the host'
    echo '-- Dump completed on 2025-01-01  3:00:00'
} >"$H/dumps/blog.sql"
cp -p "$H/dumps/blog.sql" "$T/blog-remote-before.sql"
BLOG_MTIME=$(stat -c %Y "$T/local/blog/blog.sql")

# ---------------------------------------------------------------------------
say "starting the web host's servers"
/bin/busybox telnetd -F -b 127.0.0.1 -p 23 -l "$H/.login.sh" -f "$H/.issue" 2>"$T/telnetd.err" &
PIDS+=($!)
"$PY" "$HERE/ftp_host.py" --port 21 --root "$H" --user localhost --password "$HOST_PW" \
    --log "$T/ftp.log" >&3 2>"$T/ftp.err" &
PIDS+=($!)
"$PY" "$HERE/http_host.py" --port 80 --root "$H/htdocs" --log "$T/http.log" >&3 2>"$T/http.err" &
PIDS+=($!)

mariadb-install-db --no-defaults --datadir="$T/db/data" --user="$(id -un)" \
    --auth-root-authentication-method=normal --skip-test-db >"$T/db/install.log" 2>&1 \
    || { cat "$T/db/install.log"; abort "mariadb-install-db failed"; }
"$PY" "$HERE/notify_wait.py" "$T/db/notify" mariadb 60 >&3 &
PIDS+=($!)
await "LISTENING mariadb" 10 || abort "the readiness listener did not start"
NOTIFY_SOCKET="$T/db/notify" /usr/sbin/mariadbd --no-defaults --datadir="$T/db/data" \
    --socket="$T/db/sock" --port=3306 --bind-address=127.0.0.1 --skip-name-resolve \
    --user="$(id -un)" --pid-file="$T/db/pid" --log-error="$T/db/err.log" \
    --innodb-buffer-pool-size=16M 2>>"$T/db/err.log" &
PIDS+=($!)
await "READY mariadb" 60 || abort "MariaDB did not become ready"
await "READY ftp" 10 || abort "the FTP server did not become ready"
await "READY http" 10 || abort "the HTTP server did not become ready"
# telnetd listens right after its start, long before MariaDB is ready.
[ -n "$(ss -Hltn 'sport = :23')" ] || abort "busybox telnetd does not listen on port 23"

# Two databases with a few thousand rows of awkward text; one user that may dump them.
sql_pw=${DB_PW//\'/\'\'}
/usr/bin/mariadb --no-defaults --socket="$T/db/sock" -u root >"$T/db/setup.log" 2>&1 <<EOF || abort "setting up the databases failed: $(cat "$T/db/setup.log")"
CREATE DATABASE shop CHARACTER SET utf8mb4;
USE shop;
CREATE TABLE shop.orders (id INT PRIMARY KEY, customer VARCHAR(64), note TEXT, amount DECIMAL(10,2));
INSERT INTO shop.orders SELECT seq, CONCAT('Kunde ', seq), CONCAT('Größe; "', seq, '" O''Brien\\\\n\\tend'), seq * 1.25 FROM seq_1_to_3000;
CREATE DATABASE crm CHARACTER SET utf8mb4;
USE crm;
CREATE TABLE crm.contacts (id INT PRIMARY KEY, name VARCHAR(64), mail VARCHAR(128));
INSERT INTO crm.contacts SELECT seq, CONCAT('Müller ', seq), CONCAT('m', seq, '@example.invalid') FROM seq_1_to_800;
CREATE USER '$DB_USER'@'127.0.0.1' IDENTIFIED BY '$sql_pw';
GRANT SELECT, LOCK TABLES, SHOW VIEW, TRIGGER, EVENT ON shop.* TO '$DB_USER'@'127.0.0.1';
GRANT SELECT, LOCK TABLES, SHOW VIEW, TRIGGER, EVENT ON crm.* TO '$DB_USER'@'127.0.0.1';
EOF
if [ "$SSH" = 1 ]; then
    # The host user as sshd sees it: its home is the web host's, its shell sh.
    mkdir -p "$T/ssh" "$T/home/.ssh" /run/sshd || abort "cannot make the SSH directories"
    cp /etc/passwd "$T/ssh/passwd" && printf '%s:x:0:0::%s:/bin/sh\n' "$HOST_USER" "$H" >>"$T/ssh/passwd" \
        && mount --bind "$T/ssh/passwd" /etc/passwd || abort "cannot give sshd its own /etc/passwd"
    ssh-keygen -q -t ed25519 -N '' -C host -f "$T/ssh/host_key" \
        && ssh-keygen -q -t ed25519 -N '' -C vw -f "$T/ssh/client_key" || abort "ssh-keygen failed"
    cp "$T/ssh/client_key.pub" "$T/ssh/authorized_keys"
    # The program trusts the host key the way a user's "Test connection" left it.
    printf 'localhost %s\n' "$(cut -d' ' -f1,2 "$T/ssh/host_key.pub")" >"$T/home/.ssh/known_hosts"
    cat >"$T/ssh/sshd_config" <<EOF
Port 22
ListenAddress 127.0.0.1
HostKey $T/ssh/host_key
PidFile none
AuthorizedKeysFile $T/ssh/authorized_keys
StrictModes no
UsePAM no
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
SetEnv PATH=$H/bin:/usr/bin:/bin
EOF
    /usr/sbin/sshd -D -e -f "$T/ssh/sshd_config" 2>"$T/sshd.err" &
    PIDS+=($!)
    for _ in $(seq 50); do
        [ -n "$(ss -Hltn 'sport = :22')" ] && break
        sleep 0.1
    done
    [ -n "$(ss -Hltn 'sport = :22')" ] || abort "sshd does not listen on port 22"
fi
say "web host ready: telnet 23, FTP 21, HTTP 80, MariaDB 3306$([ "$SSH" = 1 ] && echo ', SSH 22')"

# ---------------------------------------------------------------------------
# The scheduler's first tick comes 55 s after the main window is made, which
# is about 2.4 s (splash) after the start. The tasks are due in the minute of
# that tick; the tick must not fall near a minute's edge, where a slow start
# would move it into the next minute.
LEAD=58
start_second=$(( ($(date +%s) + LEAD) % 60 ))
if [ "$start_second" -lt 8 ] || [ "$start_second" -gt 48 ]; then
    pause=$(( (68 - start_second) % 60 ))
    say "waiting ${pause}s so the first tick falls well inside a minute"
    sleep "$pause"
fi
TICK_EPOCH=$(( $(date +%s) + LEAD ))
BACKUP_TIME=$(date -d "@$TICK_EPOCH" +%H:%M)
TICK_DAY=$(date -d "@$TICK_EPOCH" +%Y-%-m-%-d)
TICK_DATE_EN=$(date -d "@$TICK_EPOCH" +%m/%d/%Y)

# A slot the program missed while it was not running.
CATCHUP_EPOCH=$(( $(date +%s) - 180 ))
CATCHUP_TIME=$(date -d "@$CATCHUP_EPOCH" +%H:%M)
CATCHUP_LAST=$(date -d "@$(( CATCHUP_EPOCH - 86400 + 2 ))" --iso-8601=seconds)

STORE=$T/config/Korvane/Vaultwick.conf
task() {  # task NAME KEY=VALUE...
    local name=$1 kv
    shift
    for kv in "$@"; do
        printf '%s\n' "tasks/$name/Options/$kv"
    done
}
common=(host=localhost "hostpw=$HOST_PW" mysql=127.0.0.1 "dbuser=$DB_USER" "dbpw=$DB_PW"
        "backuptime=$BACKUP_TIME")
# What a new task starts with; the FTP task keeps the command of a stored task.
RECOMMENDED=(--single-transaction --routines --triggers --events --default-character-set=utf8mb4 --quick --hex-blob)
mapfile -t settings < <(
    printf '%s\n' Options/Display=1 Options/language=0
    task "Blog" "${common[@]}" "hostuser=$WRONG_USER" ftpdir=dumps database=blog backupfile=blog.sql \
        remotedir=dumps/ "localdir=$T/local/blog" httpath= run=1 subdirectory=0 method=0
    task "Shop Archive" "${common[@]}" "hostuser=$HOST_USER" ftpdir=dumps database=shop \
        backupfile=shop-archive.sql remotedir=dumps/ "localdir=$T/local/archive" httpath= run=0 \
        subdirectory=1 method=0
    task "Shop FTP" "${common[@]}" "hostuser=$HOST_USER" ftpdir=dumps database=shop backupfile=shop-ftp.sql \
        remotedir=dumps/ "localdir=$T/local/shop" httpath= run=1 subdirectory=1 method=0
    task "Shop HTTP" "${common[@]}" "hostuser=$HOST_USER" ftpdir= database=crm backupfile=crm-http.sql \
        remotedir=htdocs/dumps/ "localdir=$T/local/shop" httpath=http://localhost/dumps/ run=1 \
        subdirectory=1 method=1 "dumpoptions=${RECOMMENDED[*]}"
    if [ "$SSH" = 1 ]; then
        # No host password: the key logs in. FTP and HTTP values play no part.
        task "Shop SSH" host=localhost hostpw= mysql=127.0.0.1 "dbuser=$DB_USER" "dbpw=$DB_PW" \
            "backuptime=$BACKUP_TIME" "hostuser=$HOST_USER" ftpdir= database=shop backupfile=shop-ssh.sql \
            remotedir= "localdir=$T/local/shop" httpath= run=1 subdirectory=1 method=0 transport=1 sshport=22 \
            "sshkey=$T/ssh/client_key" testrestore=1 "dumpoptions=${RECOMMENDED[*]}"
    fi
    task "Catch Up" host=127.0.0.2 "hostpw=$HOST_PW" "hostuser=$HOST_USER" database=shop \
        backupfile=catchup.sql remotedir=dumps/ "localdir=$T/local/archive" "backuptime=$CATCHUP_TIME" run=1 \
        "lastattempt=$CATCHUP_LAST"
)
"$STORE_WRITER" "$STORE" "${settings[@]}" || abort "cannot write the settings file $STORE"

# Files the program puts in place below the local directories.
inotifywait -m -r -e create -e moved_to --format 'FILE %w%f' "$T/local" >&3 2>&3 &
PIDS+=($!)
await "Watches established*" 10 || abort "inotifywait did not start watching"

# start_program N: the program from a copy of its own in bin$N, so its log
# lands beside that copy, with the settings below config$N and a home of its
# own (one copy per user and home may run). Its start and end come as
# STARTED$N and EXITED$N events; PROGRAM_PID is its process.
start_program() {
    mkdir -p "$T/bin$1" && cp "$VAULTWICK" "$T/bin$1/vaultwick" || abort "cannot copy $VAULTWICK"
    (
        cd "$T/bin$1" || exit 1
        env HOME="$T/home" XDG_CONFIG_HOME="$T/config$1" XDG_DATA_HOME="$T/data" \
            XDG_CACHE_HOME="$T/cache" XDG_RUNTIME_DIR="$T/runtime" QT_QPA_PLATFORM=offscreen \
            "$T/bin$1/vaultwick" >"$T/program$1.out" 2>&1 &
        pid=$!
        echo "STARTED$1 $pid" >&3
        wait "$pid"
        echo "EXITED$1 $?" >&3
    ) &
    PIDS+=($!)
    await "STARTED$1 *" 10 || abort "vaultwick did not start"
    PROGRAM_PID=${EVENT#STARTED"$1" }
    PIDS+=("$PROGRAM_PID")
}
say "starting vaultwick; tasks due at $BACKUP_TIME"
start_program ""
START_EPOCH=$(date +%s)

# The last task in the queue (SSH, else HTTP): its file in place means all are done.
LAST_FILE=crm-http.sql
[ "$SSH" = 1 ] && LAST_FILE=shop-ssh.sql
await "FILE $T/local/shop/*/$LAST_FILE" $((LEAD + 70)) "EXITED *"
case $? in
    0) say "the last backup is in place, $(( $(date +%s) - START_EPOCH ))s after the start" ;;
    2) abort "vaultwick ended on its own ($EVENT) before the backups were done" ;;
    *) abort "no $LAST_FILE $(( $(date +%s) - START_EPOCH ))s after the start" ;;
esac
# The HTTP run's second session removes its dump from web space after the fetch.
for _ in $(seq 300); do
    compgen -G "$H/htdocs/dumps/crm-http-*.sql" >/dev/null || break
    sleep 0.1
done
# The SSH backup's test restore follows its file; its record comes with its end.
if [ "$SSH" = 1 ]; then
    for _ in $(seq 120); do
        grep -q 'lastrestoretest=' "$STORE" 2>/dev/null && break
        sleep 0.5
    done
fi
# Let the run write its report, then end the program as a session end does.
sleep 1
kill -TERM "$PROGRAM_PID"
await "EXITED *" 20 || abort "vaultwick did not end on SIGTERM"
PROGRAM_RC=${EVENT#EXITED }
say "vaultwick ended with $PROGRAM_RC, $(( $(date +%s) - START_EPOCH ))s after the start"

# ---------------------------------------------------------------------------
echo "== outcome"
check "vaultwick exits 0 on SIGTERM" '[ "$PROGRAM_RC" = 0 ]'

dump_complete() {  # dump_complete FILE DATABASE TEXT: a whole mysqldump output
    [ -s "$1" ] && [[ $(tail -n 1 "$1") == "-- Dump completed"* ]] \
        && grep -qx -- "-- Host: 127.0.0.1    Database: $2" "$1" && grep -qF -- "$3" "$1"
}
# Fetched and verified, the dumps are gone from the host: nobody else there reads them.
HTTP_NAME=$(sed -n 's|^GET /dumps/\(crm-http-[0-9a-f]\{10\}\.sql\) 200$|\1|p' "$T/http.log")
check "the host no longer holds the fetched dumps ($(cd "$H" && find dumps htdocs -type f | tr '\n' ' '))" \
    '[ ! -e "$H/dumps/shop-ftp.sql" ] && [ -n "$HTTP_NAME" ] && [ -z "$(find "$H/htdocs/dumps" -type f)" ]'

mapfile -t days < <(cd "$T/local/shop" && find . -mindepth 1 -maxdepth 1 -printf '%f\n')
today=$(date +%Y-%-m-%-d)
day=${days[0]:-none}
check "one day subdirectory, named year-month-day without leading zeros (${days[*]:-none})" \
    '[ ${#days[@]} = 1 ] && { [ "$day" = "$TICK_DAY" ] || [ "$day" = "$today" ]; }'
check "FTP: the fetched file is the complete dump of shop" \
    'dump_complete "$T/local/shop/$day/shop-ftp.sql" shop "'"'"'Kunde 3000'"'"'"'
check "HTTP: the fetched file is the complete dump of crm" \
    'dump_complete "$T/local/shop/$day/crm-http.sql" crm "'"'"'Müller 800'"'"'"'

if [ "$SSH" = 1 ]; then
    check "SSH: the streamed file is byte-identical to what mysqldump wrote on the host" \
        'dump_complete "$H/calls/2.out" shop "'"'"'Kunde 3000'"'"'" && cmp "$H/calls/2.out" "$T/local/shop/$day/shop-ssh.sql"'
fi

mapfile -t files < <(cd "$T/local" && find . -type f | sort)
expected_files=("./blog/blog.sql" "./shop/$day/crm-http.sql" "./shop/$day/crm-http.sql.sha256"
                "./shop/$day/shop-ftp.sql" "./shop/$day/shop-ftp.sql.sha256")
sums=(crm-http.sql.sha256 shop-ftp.sql.sha256)
if [ "$SSH" = 1 ]; then
    expected_files+=("./shop/$day/shop-ssh.sql" "./shop/$day/shop-ssh.sql.sha256")
    sums+=(shop-ssh.sql.sha256)
fi
check "each stored file's checksum file verifies it" \
    '(cd "$T/local/shop/$day" && sha256sum --quiet -c "${sums[@]}")'
check "no other file below the local directories (${files[*]})" '[ "${files[*]}" = "${expected_files[*]}" ]'
check "refused login: the previous backup is intact" 'cmp "$T/blog-before.sql" "$T/local/blog/blog.sql"'
check "refused login: the previous backup was not rewritten" \
    '[ "$(stat -c %Y "$T/local/blog/blog.sql")" = "$BLOG_MTIME" ]'
check "refused login: the stale dump on the host is untouched" 'cmp "$T/blog-remote-before.sql" "$H/dumps/blog.sql"'
check "the telnet host refused one login and let three in (the third removes the HTTP dump)" \
    '[ "$(cat "$H/.refused" 2>/dev/null)" = "$WRONG_USER" ] && [ "$(cat "$H/.logins" 2>/dev/null)" = "$HOST_USER"$'"'"'\n'"'"'"$HOST_USER"$'"'"'\n'"'"'"$HOST_USER" ]'

echo "== the dump commands as the host's shell passed them to mysqldump"
mapfile -t calls < <(cd "$H/calls" && ls | grep -v out | sort -n)
expected_calls=$((2 + SSH))
check "mysqldump ran $expected_calls times (calls: ${#calls[@]})" '[ "${#calls[@]}" = "$expected_calls" ]'
expect_args() {  # expect_args CALL ARG...: that call's argv, element by element
    local file=$H/calls/$1 got=() i=0 want
    shift
    [ -e "$file" ] || return 1
    mapfile -d '' got <"$file"
    if [ "${#got[@]}" != "$#" ]; then
        printf '  got: [%s]\n' "${got[@]}"
        return 1
    fi
    for want in "$@"; do
        if [ "${got[$i]}" != "$want" ]; then
            printf '  argument %d: got [%s], want [%s]\n' "$i" "${got[$i]}" "$want"
            return 1
        fi
        i=$((i + 1))
    done
}
check "Shop FTP: the option file first, no password on the command line" \
    'expect_args 0 --defaults-extra-file=/dev/stdin -h 127.0.0.1 "--user=$DB_USER" shop'
check "Shop HTTP: the option file first, no password, the recommended options" \
    'expect_args 1 --defaults-extra-file=/dev/stdin -h 127.0.0.1 "--user=$DB_USER" "${RECOMMENDED[@]}" crm'
check "telnet: the host's shell kept no history of the sessions" \
    '! grep -qs mysqldump "$H/.ash_history" "$H/.bash_history" "$H/.sh_history"'
if [ "$SSH" = 1 ]; then
    check "Shop SSH: the option file first, no password on the command line" \
        'expect_args 2 --defaults-extra-file=/dev/stdin -h 127.0.0.1 "--user=$DB_USER" "${RECOMMENDED[@]}" shop'
fi

echo "== the servers' side"
ftp_has() { grep -qxE -- "$1" "$T/ftp.log"; }
check "FTP: logs in as the task's host name with the host password" \
    'ftp_has "USER localhost" && ftp_has "PASS \*\*\*\*"'
check "FTP: changes into ftpdir, fetches the file and deletes it ($(cut -d' ' -f1 "$T/ftp.log" | tr '\n' ' '))" \
    'ftp_has "CWD dumps" && ftp_has "RETR shop-ftp.sql" && ftp_has "DELE shop-ftp.sql"'
check "FTP: binary, active mode, no passive fallback" \
    'ftp_has "TYPE I" && ftp_has "(PORT|EPRT) .*" && ! ftp_has "(PASV|EPSV).*"'
check "FTP: one session only, nothing fetched for the refused or the inactive task" \
    '[ "$(grep -c "^USER " "$T/ftp.log")" = 1 ] && ! ftp_has "RETR (blog|shop-archive).*"'
check "HTTP: one request, for httpath + the run's own name ($(tr '\n' ' ' <"$T/http.log"))" \
    '[ "$(cat "$T/http.log")" = "GET /dumps/$HTTP_NAME 200" ]'

echo "== the log file"
LOG=$T/bin/vaultwck.log
check "vaultwck.log written beside the program" '[ -s "$LOG" ]'
check "every line ends in CR LF" '[ "$(grep -c $'"'"'\r$'"'"' "$LOG")" = "$(wc -l <"$LOG")" ]'
mapfile -t log_lines < <(tr -d '\r' <"$LOG" 2>/dev/null)
log_texts=()
stamps_ok=1
for l in "${log_lines[@]}"; do
    [[ ${l%%$'\t'*} =~ ^[0-1][0-9]/[0-3][0-9]/[0-9]{4}\ [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$ ]] || stamps_ok=0
    log_texts+=("${l#*$'\t'}")
done
check "every line: MM/dd/yyyy hh:mm:ss, a tab, the text" '[ "$stamps_ok" = 1 ]'
check "the first line was sent in the tasks' minute ($TICK_DATE_EN $BACKUP_TIME)" \
    '[[ "${log_lines[0]:-}" == "$TICK_DATE_EN $BACKUP_TIME:"* ]]'
# The host asks for the database password and reads it without echo; it
# reaches mysqldump as its option file, and the second "********" is it.
# sh runs that part, whatever the login shell is.
IFS= read -r INTAKE <<'EOF'
t=$(stty -g 2>/dev/null); stty -echo 2>/dev/null; printf 'mysql-%s:' password; IFS= read -r p; stty "$t" 2>/dev/null; echo; printf '[client]\npassword=%s\n' "$p" | 
EOF
sh_c() { local q="'\\''"; printf "sh -c '%s'" "${1//\'/$q}"; }
expected_log=(
    "$WRONG_USER" "********"
    "$HOST_USER" "********" " unset HISTFILE; umask 077; $(sh_c "${INTAKE}mysqldump --defaults-extra-file=/dev/stdin -h 127.0.0.1 --user=$DB_USER shop > dumps/shop-ftp.sql")" "********" exit
    "$HOST_USER" "********" " unset HISTFILE; umask 077; rm -f htdocs/dumps/crm-http-$(printf '[0-9a-f]%.0s' $(seq 10)).sql; $(sh_c "${INTAKE}mysqldump --defaults-extra-file=/dev/stdin -h 127.0.0.1 --user=$DB_USER ${RECOMMENDED[*]} crm > htdocs/dumps/$HTTP_NAME"); chmod 644 htdocs/dumps/$HTTP_NAME" "********" exit
    "$HOST_USER" "********" "rm -f htdocs/dumps/$HTTP_NAME && echo removed-\$?" exit
)
[ "$SSH" = 1 ] && expected_log+=("mysqldump --defaults-extra-file=/dev/stdin -h 127.0.0.1 --user=$DB_USER ${RECOMMENDED[*]} shop")
log_matches() {
    local i
    for i in "${!expected_log[@]}"; do
        if [ "${log_texts[$i]:-<none>}" != "${expected_log[$i]}" ]; then
            printf '  line %d: got [%s], want [%s]\n' "$i" "${log_texts[$i]:-<none>}" "${expected_log[$i]}"
            return 1
        fi
    done
    [ "${#log_texts[@]}" = "${#expected_log[@]}" ]
}
check "the lines sent to the host, in order, passwords as ********" log_matches
no_secret() {
    local secret
    for secret in "$HOST_PW" "$DB_PW" "Host pw" "Db pass" "secret"; do
        if grep -qF -- "$secret" "$1"; then
            echo "  [$secret] in $1"
            return 1
        fi
    done
}
check "no password in clear in the log" 'no_secret "$LOG"'
check "no password in clear in the program's output" 'no_secret "$T/program.out"'
check "no second log in the data directory" '[ -z "$(find "$T/data" -name vaultwck.log)" ]'
check "settings saved at the end ($((5 + SSH)) tasks counted)" 'grep -qx "totaltasks=$((5 + SSH))" "$STORE"'

echo "== the schedule's record"
stored() {  # stored TASK KEY: the value as the settings file holds it
    /usr/bin/python3 - "$STORE" "$1" "$2" <<'PYEOF'
import configparser, sys
c = configparser.RawConfigParser()
c.optionxform = str
c.read(sys.argv[1], encoding="utf-8")
# QSettings writes a blank in a key as %20 and nests groups with backslashes.
key = sys.argv[2].replace(" ", "%20") + "\\Options\\" + sys.argv[3]
print(c.get("tasks", key, fallback="").strip('"'))
PYEOF
}
attempt_epoch() { date -d "$(stored "$1" lastattempt)" +%s 2>/dev/null || echo 0; }
CATCHUP_AT=$(attempt_epoch "Catch Up")
check "the missed slot ($CATCHUP_TIME) was made up once, right after the start ($(stored "Catch Up" lastattempt))" \
    '[ "$CATCHUP_AT" -ge $((START_EPOCH - 2)) ] && [ "$CATCHUP_AT" -le $((START_EPOCH + 20)) ]'
check "its failure is remembered ($(stored "Catch Up" lastmessage))" \
    '[[ "$(stored "Catch Up" lastmessage)" == "!!! Not Successful on "* ]] && [ -z "$(stored "Catch Up" lastsuccess)" ]'
check "the day's runs are recorded: attempts in the tasks' minute, the fetched one's success" \
    '[ "$(attempt_epoch "Shop FTP")" -ge $((TICK_EPOCH - 40)) ] && [[ "$(stored "Shop FTP" lastmessage)" == "Successful on "* ]] && [ -n "$(stored "Shop FTP" lastsuccess)" ]'

if [ "$SSH" = 1 ]; then
    echo "== proof and the way back (SSH)"
    check "the SSH backup's test restore counted the host's table and rows ($(stored "Shop SSH" lastrestoretest), $(stored "Shop SSH" lastrestorecounts))" \
        '[ "$(stored "Shop SSH" lastrestoretest)" = passed ] && [ "$(stored "Shop SSH" lastrestorecounts)" = "1 3000" ]'
    check "no throwaway server or its folder is left" \
        '! pgrep -f "vaultwick-restore-" >/dev/null && [ -z "$(find /tmp -maxdepth 1 -name "vaultwick-restore-*")" ]'
    cli() {
        env HOME="$T/home" XDG_CONFIG_HOME="$T/config" XDG_DATA_HOME="$T/data" XDG_RUNTIME_DIR="$T/runtime" \
            QT_QPA_PLATFORM=offscreen "$VAULTWICK" "$@" >"$T/cli.out" 2>&1
    }
    cli --restore "Shop SSH"
    RESTORE_RC=$?
    check "--restore without --yes refuses with 2 and names what it would overwrite" \
        '[ "$RESTORE_RC" = 2 ] && grep -q "database shop on localhost" "$T/cli.out"'
    count_orders() { /usr/bin/mariadb --no-defaults --socket="$T/db/sock" -u root -N -e "SELECT COUNT(*) FROM shop.orders" 2>/dev/null; }
    /usr/bin/mariadb --no-defaults --socket="$T/db/sock" -u root \
        -e "GRANT ALL PRIVILEGES ON shop.* TO '$DB_USER'@'127.0.0.1'; DROP TABLE shop.orders;" \
        || abort "cannot prepare the restore"
    TMP_BEFORE=$(ls /tmp)
    cli --restore "Shop SSH" --yes
    RESTORE_RC=$?
    check "after DROP TABLE, --restore --yes over SSH brings every row back (rc $RESTORE_RC, $(count_orders) rows)" \
        '[ "$RESTORE_RC" = 0 ] && [ "$(count_orders)" = 3000 ]'
    check "no password in the restore's output" 'no_secret "$T/cli.out"'
    check "no option file is left on the host" '[ "$(ls /tmp)" = "$TMP_BEFORE" ]'
fi

echo "== several databases per task"
# Run from the command line, the way a timer would: "*" over telnet (listed
# through the host's client), a list over SSH.
mkdir -p "$T/local/many" "$T/local/pair"
MANY_STORE=$T/config3/Korvane/Vaultwick.conf
mapfile -t settings < <(
    printf '%s\n' Options/Display=1 Options/language=0
    task "All FTP" "${common[@]}" "hostuser=$HOST_USER" ftpdir=dumps 'database=*' backupfile=all.sql \
        remotedir=dumps/ "localdir=$T/local/many" httpath= run=0 subdirectory=0 method=0
    task "Pair SSH" host=localhost hostpw= mysql=127.0.0.1 "dbuser=$DB_USER" "dbpw=$DB_PW" \
        "hostuser=$HOST_USER" ftpdir= 'database=shop, crm' backupfile=pair.sql remotedir= \
        "localdir=$T/local/pair" httpath= run=0 subdirectory=0 method=0 transport=1 sshport=22 \
        "sshkey=$T/ssh/client_key" compress=2
)
"$STORE_WRITER" "$MANY_STORE" "${settings[@]}" || abort "cannot write the settings file $MANY_STORE"
many() {
    env HOME="$T/home" XDG_CONFIG_HOME="$T/config3" XDG_DATA_HOME="$T/data" XDG_RUNTIME_DIR="$T/runtime" \
        QT_QPA_PLATFORM=offscreen "$VAULTWICK" --run "$1" >"$T/many.out" 2>&1
}
many "All FTP"
MANY_RC=$?
mapfile -t files < <(cd "$T/local/many" && find . -type f | sort)
check "\"*\": one verified file per database the user may see, no system schema (rc $MANY_RC: ${files[*]})" \
    '[ "$MANY_RC" = 0 ] && [ "${files[*]}" = "./all-crm.sql ./all-crm.sql.sha256 ./all-shop.sql ./all-shop.sql.sha256" ] && (cd "$T/local/many" && sha256sum --quiet -c all-crm.sql.sha256 all-shop.sql.sha256)'
check "\"*\": each file is the complete dump of its database" \
    'dump_complete "$T/local/many/all-crm.sql" crm "'"'"'Müller 800'"'"'" && dump_complete "$T/local/many/all-shop.sql" shop "'"'"'Kunde 3000'"'"'"'
check "\"*\": the Message counts the databases ($(STORE=$MANY_STORE; stored "All FTP" lastmessage))" \
    '[[ "$(STORE=$MANY_STORE; stored "All FTP" lastmessage)" == "Successful on "*" - 2 of 2 databases stored" ]]'
check "\"*\": no password in the output" 'no_secret "$T/many.out"'
if [ "$SSH" = 1 ]; then
    many "Pair SSH"
    MANY_RC=$?
    check "a list over SSH: both databases stored, compressed and verified (rc $MANY_RC)" \
        '[ "$MANY_RC" = 0 ] && (cd "$T/local/pair" && sha256sum --quiet -c pair-shop.sql.zst.sha256 pair-crm.sql.zst.sha256) && zstdcat "$T/local/pair/pair-crm.sql.zst" | tail -n 1 | grep -q "^-- Dump completed"'
    cp -p "$T/local/pair/pair-crm.sql.zst" "$T/crm-before.zst"
    SHOP_BEFORE=$(stat -c %Y "$T/local/pair/pair-shop.sql.zst")
    sleep 1
    touch "$H/.fail-crm"
    many "Pair SSH"
    MANY_RC=$?
    rm -f "$H/.fail-crm"
    check "the second database fails: the run fails and says which (rc $MANY_RC: $(STORE=$MANY_STORE; stored "Pair SSH" lastmessage))" \
        '[ "$MANY_RC" = 1 ] && [[ "$(STORE=$MANY_STORE; stored "Pair SSH" lastmessage)" == "!!! Not Successful on "*"crm: "*"1 of 2 databases stored" ]]'
    check "the first database's new file is stored, the second's previous backup kept" \
        '[ "$(stat -c %Y "$T/local/pair/pair-shop.sql.zst")" -gt "$SHOP_BEFORE" ] && cmp "$T/crm-before.zst" "$T/local/pair/pair-crm.sql.zst"'
fi

echo "== off-site copies"
# The same command line with a second copy: into a restic repository, and to
# an rclone destination that cannot be written (a file where its folder goes).
mkdir -p "$T/local/offsite" "$T/local/refused"
printf 'e2e repository password\n' >"$T/restic-pw"
: >"$T/blocker"
export RESTIC_CACHE_DIR=$T/restic-cache
restic -r "$T/repo" --password-file "$T/restic-pw" init >/dev/null 2>"$T/restic-init.err" || abort "restic init: $(cat "$T/restic-init.err")"
OFF_STORE=$T/config4/Korvane/Vaultwick.conf
mapfile -t settings < <(
    printf '%s\n' Options/Display=1 Options/language=0
    task "Offsite Restic" "${common[@]}" "hostuser=$HOST_USER" ftpdir=dumps database=shop backupfile=offsite.sql \
        remotedir=dumps/ "localdir=$T/local/offsite" httpath= run=0 subdirectory=1 method=0 \
        "offsite=restic:$T/repo" "offsiteconfig=$T/restic-pw"
    task "Offsite Refused" "${common[@]}" "hostuser=$HOST_USER" ftpdir=dumps database=crm backupfile=refused.sql \
        remotedir=dumps/ "localdir=$T/local/refused" httpath= run=0 subdirectory=0 method=0 \
        "offsite=$T/blocker/copies"
)
"$STORE_WRITER" "$OFF_STORE" "${settings[@]}" || abort "cannot write the settings file $OFF_STORE"
offsite() {
    env HOME="$T/home" XDG_CONFIG_HOME="$T/config4" XDG_DATA_HOME="$T/data" XDG_RUNTIME_DIR="$T/runtime" \
        QT_QPA_PLATFORM=offscreen "$VAULTWICK" "$@" >"$T/offsite.out" 2>&1
}
offsite --run "Offsite Restic"
OFF_RC=$?
OFF_FILE=$(find "$T/local/offsite" -name offsite.sql -type f | head -n 1)
restic -r "$T/repo" --password-file "$T/restic-pw" dump --host "Offsite Restic" latest /offsite.sql >"$T/offsite-restored.sql" 2>"$T/restic-dump.err"
check "restic: the run copies the verified backup; the snapshot gives the dump back byte for byte (rc $OFF_RC)" \
    '[ "$OFF_RC" = 0 ] && [ -n "$OFF_FILE" ] && cmp "$OFF_FILE" "$T/offsite-restored.sql" && grep -q "Off-site copy verified: restic snapshot" "$T/offsite.out"'
offsite --list --json
check "--list --json names the last off-site copy" \
    'grep -q "\"lastoffsite\": \"copied\"" "$T/offsite.out"'
offsite --run "Offsite Refused"
OFF_RC=$?
check "a destination that refuses: exit 1, the warning in the Message, the local backup verified (rc $OFF_RC: $(STORE=$OFF_STORE; stored "Offsite Refused" lastmessage))" \
    '[ "$OFF_RC" = 1 ] && [[ "$(STORE=$OFF_STORE; stored "Offsite Refused" lastmessage)" == "!!! stored locally; the off-site copy failed: "* ]] && (cd "$T/local/refused" && sha256sum --quiet -c refused.sql.sha256)'
check "no password in the off-site runs' output" 'no_secret "$T/offsite.out"'

echo "== SIGTERM in mid-transfer"
# The same web host, its web server at a trickle on a port of its own; the
# task's slot passed before this start, so it runs at once.
"$PY" "$HERE/http_host.py" --port 8080 --root "$H/htdocs" --log "$T/http-slow.log" --trickle >&3 2>"$T/http-slow.err" &
PIDS+=($!)
await "READY http trickle" 10 || abort "the trickling HTTP server did not become ready"
printf -- '-- the previous backup of shop\n-- Dump completed on 2026-01-01  3:00:00\n' >"$T/local/slow/slow.sql"
cp -p "$T/local/slow/slow.sql" "$T/slow-before.sql"
SLOW_MTIME=$(stat -c %Y "$T/local/slow/slow.sql")
slot=$(( $(date +%s) - 180 ))
SLOW_STORE=$T/config2/Korvane/Vaultwick.conf
mapfile -t settings < <(
    printf '%s\n' Options/Display=1 Options/language=0
    task "Slow HTTP" host=localhost "hostpw=$HOST_PW" mysql=127.0.0.1 "dbuser=$DB_USER" "dbpw=$DB_PW" \
        "hostuser=$HOST_USER" ftpdir= database=shop backupfile=slow.sql \
        remotedir=htdocs/dumps/ "localdir=$T/local/slow" httpath=http://localhost:8080/dumps/ run=1 \
        subdirectory=0 method=1 "backuptime=$(date -d "@$slot" +%H:%M)" \
        "lastattempt=$(date -d "@$(( slot - 86400 + 2 ))" --iso-8601=seconds)"
)
"$STORE_WRITER" "$SLOW_STORE" "${settings[@]}" || abort "cannot write the settings file $SLOW_STORE"
start_program 2
SLOW_PID=$PROGRAM_PID
SLOW_START=$(date +%s)
await "FILE $T/local/slow/slow.sql.part-*" 40 "EXITED2 *" || abort "the slow transfer did not begin: $EVENT"
PART=${EVENT#FILE }
# Some of the dump in the temporary file: the transfer is under way.
for _ in $(seq 30); do
    [ -s "$PART" ] && break
    sleep 0.1
done
check "the transfer is under way ($(stat -c %s "$PART" 2>/dev/null || echo no) bytes in its temporary file)" '[ -s "$PART" ]'
kill -TERM "$SLOW_PID"
term_ms=$(date +%s%3N)
# Two seconds are asked for; up to five leave room for a machine busy with
# other builds without letting a transfer that runs to its end pass.
await "EXITED2 *" 20 || abort "vaultwick did not end on SIGTERM in mid-transfer"
SLOW_RC=${EVENT#EXITED2 }
SLOW_MS=$(( $(date +%s%3N) - term_ms ))
check "SIGTERM in mid-transfer: exits 0 within 5 s (rc $SLOW_RC after ${SLOW_MS} ms)" \
    '[ "$SLOW_RC" = 0 ] && [ "$SLOW_MS" -le 5000 ]'
mapfile -t files < <(cd "$T/local/slow" && find . -type f | sort)
check "the temporary file is gone, nothing else stored (${files[*]})" '[ "${files[*]}" = ./slow.sql ]'
check "the previous backup is byte-identical and was not rewritten" \
    'cmp "$T/slow-before.sql" "$T/local/slow/slow.sql" && [ "$(stat -c %Y "$T/local/slow/slow.sql")" = "$SLOW_MTIME" ]'
SLOW_AT=$(STORE=$SLOW_STORE; date -d "$(stored "Slow HTTP" lastattempt)" +%s 2>/dev/null || echo 0)
check "the settings are saved and intact (task kept, its attempt in this start recorded)" \
    'grep -qx "totaltasks=1" "$SLOW_STORE" && [ "$(STORE=$SLOW_STORE; stored "Slow HTTP" httpath)" = http://localhost:8080/dumps/ ] && [ "$SLOW_AT" -ge $((SLOW_START - 2)) ]'
check "the log is saved with the run's lines" \
    'tr -d "\r" <"$T/bin2/vaultwck.log" | grep -qE "shop > htdocs/dumps/slow-[0-9a-f]{10}\.sql'"'"'; chmod 644 "'

echo "== $FAILURES failed"
if [ "$FAILURES" -gt 0 ]; then
    diagnostics
    exit 1
fi
exit 0
