#!/usr/bin/env bash
# Runs the benchmarks and prints their figures as a Markdown table.
#
#   bash bench/run_benchmarks.sh [BUILD-DIR]      (default: build)
#
# Needs the build's vaultwick and bench/vw_bench, curl, /usr/bin/time,
# busybox (httpd) and python3-pyftpdlib. Everything talks over 127.0.0.1.
# Takes about five minutes on two cores, most of it in the transfers and the
# fixed 60 s idle measurement. Not a test: nothing here passes or fails on a
# figure.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
BENCH=$BUILD/bench/vw_bench
PROGRAM=$BUILD/src/vaultwick
PEERS=$ROOT/bench/peers.py
SIZE_MIB=${VW_BENCH_SIZE_MIB:-512}
ROUNDS=${VW_BENCH_ROUNDS:-5}
export QT_QPA_PLATFORM=offscreen

for f in "$BENCH" "$PROGRAM" /usr/bin/curl /usr/bin/time /bin/busybox /usr/bin/python3; do
    [ -x "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

# In memory where possible, so the disk's write-back does not blur the transfers.
TMP_BASE=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((4 * SIZE_MIB * 1024)) ] && TMP_BASE=/dev/shm
W=$(mktemp -d "$TMP_BASE/vw-bench.XXXXXX")
export XDG_RUNTIME_DIR=$W/runtime
mkdir -p "$W/srv" "$W/get" "$W/home" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
PIDS=()
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$W" "${DISK:-}"
}
trap cleanup EXIT

note() { echo "... $*" >&2; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { tr ' ' '\n' <<<"$2" | sed -n "s/^$1=//p"; }  # field KEY "k=v k=v ..."

# start_peer VAR COMMAND...: starts a peer that prints "READY <port>"; VAR gets the port.
start_peer() {
    local var=$1 fifo line
    shift
    fifo=$W/peer.$RANDOM
    mkfifo "$fifo"
    "$@" >"$fifo" 2>>"$W/peers.err" &
    PIDS+=($!)
    # A blocking read, bounded: the peer answers within a second or two.
    IFS= read -r -t 15 line <"$fifo" || { echo "peer $* did not start" >&2; exit 1; }
    rm -f "$fifo"
    printf -v "$var" '%s' "${line#READY }"
}

# ---------------------------------------------------------------------------
make_dump() {  # make_dump FILE MIB: random bytes ending in mysqldump's completion line
    local tail='-- Dump completed on 2026-12-08 10:00:00'
    head -c $(($2 * 1024 * 1024 - ${#tail} - 2)) /dev/urandom >"$1"
    printf '\n%s\n' "$tail" >>"$1"
}
# make_text_dump FILE MIB: SQL text of varied rows, so compression has something to do
make_text_dump() {
    awk -v size=$(($2 * 1024 * 1024 - 64)) 'BEGIN {
        srand(7)
        while (n < size) {
            line = sprintf("INSERT INTO `orders` VALUES (%d,%d,\x27customer-%d\x27,%.2f,\x272026-%02d-%02d\x27);\n",
                           i++, int(rand() * 100000), int(rand() * 50000), rand() * 1000,
                           1 + int(rand() * 12), 1 + int(rand() * 28))
            printf "%s", line
            n += length(line)
        }
        print "-- Dump completed on 2026-12-08 10:00:00"
    }' >"$1"
}

# compressed_runs: the program storing the text dump as gzip and zstd (over
# HTTP), beside gzip -6 and zstd -3 of the same file; one round each.
compressed_runs() {
    note "compressed: ${SIZE_MIB} MiB of SQL text stored as gzip and zstd, beside gzip -6 and zstd -3"
    make_text_dump "$W/srv/text.sql" "$SIZE_MIB"
    cat "$W/srv/text.sql" >/dev/null
    local c name tool out
    for c in 1 2; do
        [ "$c" = 1 ] && { name=gzip; tool="gzip -6"; } || { name=zstd; tool="zstd -3 -q"; }
        rm -f "$W/get/"*
        out=$("$BENCH" retrieve http "$HTTP_PORT" text.sql "$W/get" bench "$c" 2>/dev/null)
        [ "$(field ok "$out")" = 1 ] || { echo "compressed retrieval failed: $out" >&2; exit 1; }
        PACKED[$name.p_s]=$(field seconds "$out")
        PACKED[$name.p_cpu]=$(awk -v m="$(field cpu_ms "$out")" 'BEGIN { print m / 1000 }')
        PACKED[$name.p_size]=$(field bytes "$out")
        /usr/bin/time -f '%e %U %S' -o "$W/time.out" $tool -c "$W/srv/text.sql" >"$W/get/tool.out"
        read -r PACKED[$name.t_s] u s <"$W/time.out"
        PACKED[$name.t_cpu]=$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')
        PACKED[$name.t_size]=$(stat -c %s "$W/get/tool.out")
    done
    rm -f "$W/srv/text.sql" "$W/get/"*
}
compressed_rows() {
    local name M
    for name in gzip zstd; do
        [ "$name" = gzip ] && M="gzip -6" || M="zstd -3"
        echo "| HTTP ${SIZE_MIB} MiB SQL text stored as $name, time | ${PACKED[$name.p_s]} s | $M ${PACKED[$name.t_s]} s | one round; download, compression, checksum, read-back check |"
        echo "| HTTP ${SIZE_MIB} MiB SQL text stored as $name, CPU time | ${PACKED[$name.p_cpu]} s | $M ${PACKED[$name.t_cpu]} s | user + system |"
        echo "| HTTP ${SIZE_MIB} MiB SQL text stored as $name, size | $(mib_b "${PACKED[$name.p_size]}") | $M $(mib_b "${PACKED[$name.t_size]}") | of $(mib_b $((SIZE_MIB * 1024 * 1024))) |"
    done
}
mib_b() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
declare -A PACKED

# ssh_runs: the program's SSH run (--run, the real program) against OpenSSH's
# client on loopback, to a sshd of the bench's own whose "mysqldump" sends
# ordinary SQL rows; stored plain and as zstd, with and without compression
# on the host, beside `ssh -C host mysqldump > file; sha256sum file` and the
# same through `zstd -3`. ROUNDS rounds each, medians.
ssh_runs() {
    local s cu cs d u k cfg name dump=$W/srv/rows.sql
    note "ssh: $ROUNDS rounds of ${SIZE_MIB} MiB of SQL rows, vaultwick --run and ssh -C pipelines"
    make_text_dump "$dump" "$SIZE_MIB"
    d=$W/ssh
    mkdir -p "$d/bin" "$d/home/.ssh" "$d/config/Korvane" "$d/out" /run/sshd
    ssh-keygen -q -t ed25519 -N '' -f "$d/host_key" && ssh-keygen -q -t ed25519 -N '' -f "$d/client_key"
    cp "$d/client_key.pub" "$d/authorized_keys"
    printf '#!/bin/sh\ncat >/dev/null\nexec cat %s\n' "$dump" >"$d/bin/mysqldump"
    chmod 755 "$d/bin/mysqldump"
    SSH_PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    printf '%s\n' "Port $SSH_PORT" "ListenAddress 127.0.0.1" "HostKey $d/host_key" "PidFile none" \
        "AuthorizedKeysFile $d/authorized_keys" "StrictModes no" "UsePAM no" "PermitRootLogin prohibit-password" \
        "PasswordAuthentication no" "KbdInteractiveAuthentication no" "SetEnv PATH=$d/bin:/usr/bin:/bin" >"$d/sshd_config"
    /usr/sbin/sshd -D -e -f "$d/sshd_config" 2>>"$W/peers.err" &
    PIDS+=($!)
    printf '[127.0.0.1]:%s %s\n' "$SSH_PORT" "$(cut -d' ' -f1,2 "$d/host_key.pub")" >"$d/home/.ssh/known_hosts"
    u=$(id -un)
    cfg=$d/config/Korvane/Vaultwick.conf
    {
        echo '[tasks]'
        for name in plain plainhost zstd zstdhost; do
            k="$name\\Options"
            printf '%s\\%s=%s\n' "$k" host 127.0.0.1 "$k" hostuser "$u" "$k" hostpw '' "$k" mysql localhost \
                "$k" database shop "$k" backupfile "$name.sql" "$k" localdir "$d/out" "$k" run 0 "$k" transport 1 \
                "$k" sshport "$SSH_PORT" "$k" sshkey "$d/client_key" \
                "$k" compress "$([[ $name == zstd* ]] && echo 2 || echo 0)" \
                "$k" hostcompress "$([[ $name == *host ]] && echo auto || echo off)"
        done
    } >"$cfg"
    for _ in $(seq 50); do [ -n "$(ss -Hltn "sport = :$SSH_PORT")" ] && break; sleep 0.1; done
    local ssh_cmd="ssh -C -p $SSH_PORT -i $d/client_key -o UserKnownHostsFile=$d/home/.ssh/known_hosts -o BatchMode=yes $u@127.0.0.1 mysqldump </dev/null"
    timed() {  # timed KEY COMMAND...: seconds and user + system CPU of COMMAND and its children
        /usr/bin/time -f '%e %U %S' -o "$W/time.out" "${@:2}" >/dev/null 2>>"$W/peers.err" || { echo "ssh bench: $1 failed" >&2; exit 1; }
        read -r s cu cs <"$W/time.out"
        SSHT[$1.s]+="$s "
        SSHT[$1.cpu]+="$(awk -v u="$cu" -v v="$cs" 'BEGIN { print u + v }') "
    }
    cat "$dump" >/dev/null
    for _ in $(seq "$ROUNDS"); do
        rm -f "$d/out/"*
        timed ref_plain bash -c "$ssh_cmd > $d/out/ref.sql && sha256sum $d/out/ref.sql"
        timed ref_zstd bash -c "$ssh_cmd | zstd -q -3 > $d/out/ref.sql.zst && sha256sum $d/out/ref.sql.zst"
        for name in plain plainhost zstd zstdhost; do
            timed "$name" env HOME="$d/home" XDG_CONFIG_HOME="$d/config" "$PROGRAM" --run "$name"
        done
        cmp -s "$dump" "$d/out/plainhost.sql" && zstd -dc "$d/out/zstdhost.sql.zst" | cmp -s "$dump" - \
            || { echo "ssh bench: a stored file is not the dump" >&2; exit 1; }
    done
    for k in "${!SSHT[@]}"; do SSHT[$k]=$(tr ' ' '\n' <<<"${SSHT[$k]}" | grep . | median); done
    rm -rf "$dump" "$d/out"
}
ssh_rows() {
    local name ref what how
    for name in plain plainhost zstd zstdhost; do
        if [[ $name == zstd* ]]; then ref=ref_zstd what="ssh -C, zstd -3, sha256sum" how="stored as zstd"
        else ref=ref_plain what="ssh -C, sha256sum" how="stored plain"; fi
        if [[ $name == *host ]]; then how="$how, compressed on the host"; else how="$how, SSH's compression"; fi
        echo "| SSH ${SIZE_MIB} MiB SQL rows, $how, time (median of $ROUNDS) | ${SSHT[$name.s]} s | $what ${SSHT[$ref.s]} s | ratio $(ratio "${SSHT[$name.s]}" "${SSHT[$ref.s]}") |"
        echo "| SSH ${SIZE_MIB} MiB SQL rows, $how, CPU time (median) | ${SSHT[$name.cpu]} s | ${SSHT[$ref.cpu]} s | ratio $(ratio "${SSHT[$name.cpu]}" "${SSHT[$ref.cpu]}"); the program, or the pipeline's client side |"
    done
}
declare -A SSHT
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }

# VW_BENCH_ONLY=ssh: just the SSH runs and their rows.
if [ "${VW_BENCH_ONLY:-}" = ssh ]; then
    ssh_runs
    echo
    echo "| Measurement | vaultwick | reference | note |"
    echo "|---|---|---|---|"
    ssh_rows
    exit 0
fi

# VW_BENCH_ONLY=compressed: just the compressed runs and their rows.
if [ "${VW_BENCH_ONLY:-}" = compressed ]; then
    start_peer FTP_PORT /usr/bin/python3 "$PEERS" ftp "$W/srv" 127.0.0.1 bench
    HTTP_PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    /bin/busybox httpd -f -p "127.0.0.1:$HTTP_PORT" -h "$W/srv" &
    PIDS+=($!)
    sleep 0.5
    compressed_runs
    echo
    echo "| Measurement | vaultwick | reference | note |"
    echo "|---|---|---|---|"
    compressed_rows
    exit 0
fi

note "making the ${SIZE_MIB} MiB dump and a 16 MiB one"
make_dump "$W/srv/big.sql" "$SIZE_MIB"
make_dump "$W/srv/small.sql" 16

start_peer FTP_PORT /usr/bin/python3 "$PEERS" ftp "$W/srv" 127.0.0.1 bench
HTTP_PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
/bin/busybox httpd -f -p "127.0.0.1:$HTTP_PORT" -h "$W/srv" &
PIDS+=($!)
sleep 0.5  # busybox httpd says nothing when it listens

# program_get METHOD FILE -> "seconds peak_kb rss_before_kb cpu_s updates"
program_get() {
    local out
    rm -f "$GET/$2"
    out=$("$BENCH" retrieve "$1" "$([ "$1" = ftp ] && echo "$FTP_PORT" || echo "$HTTP_PORT")" "$2" "$GET" bench 2>/dev/null)
    [ "$(field ok "$out")" = 1 ] && cmp -s "$W/srv/$2" "$GET/$2" || { echo "retrieval failed: $out" >&2; exit 1; }
    echo "$(field seconds "$out") $(field peak_rss_kb "$out") $(field rss_before_kb "$out") $(awk -v m="$(field cpu_ms "$out")" 'BEGIN { print m / 1000 }') $(field progress_updates "$out")"
}
# curl_get METHOD FILE -> "seconds peak_kb cpu_s"
curl_get() {
    local url
    rm -f "$GET/curl-$2"
    if [ "$1" = ftp ]; then
        url="ftp://127.0.0.1:$FTP_PORT/$2"
        /usr/bin/time -f '%e %M %U %S' -o "$W/time.out" curl -sS -P - -u 127.0.0.1:bench -o "$GET/curl-$2" "$url"
    else
        url="http://127.0.0.1:$HTTP_PORT/$2"
        /usr/bin/time -f '%e %M %U %S' -o "$W/time.out" curl -sS -o "$GET/curl-$2" "$url"
    fi
    cmp -s "$W/srv/$2" "$GET/curl-$2" || { echo "curl $url failed" >&2; exit 1; }
    awk '{ print $1, $2, $3 + $4 }' "$W/time.out"
}

GET=$W/get
declare -A RESULT
for method in ftp http; do
    note "$method: $ROUNDS rounds of ${SIZE_MIB} MiB, vaultwick and curl alternately"
    cat "$W/srv/big.sql" >/dev/null  # the first round reads from the page cache too
    p_s=() p_kb=() p_cpu=() c_s=() c_kb=() c_cpu=() before=()
    for _ in $(seq "$ROUNDS"); do
        out=$(program_get "$method" big.sql)
        read -r s kb b cpu updates <<<"$out"
        p_s+=("$s") p_kb+=("$kb") before+=("$b") p_cpu+=("$cpu")
        out=$(curl_get "$method" big.sql)
        read -r s kb cpu <<<"$out"
        c_s+=("$s") c_kb+=("$kb") c_cpu+=("$cpu")
    done
    out=$(program_get "$method" small.sql)
    read -r _ small_kb _ _ _ <<<"$out"
    RESULT[$method.updates]=$updates
    RESULT[$method.p_s]=$(printf '%s\n' "${p_s[@]}" | median)
    RESULT[$method.c_s]=$(printf '%s\n' "${c_s[@]}" | median)
    RESULT[$method.p_kb]=$(printf '%s\n' "${p_kb[@]}" | sort -n | tail -1)
    RESULT[$method.c_kb]=$(printf '%s\n' "${c_kb[@]}" | sort -n | tail -1)
    RESULT[$method.p_cpu]=$(printf '%s\n' "${p_cpu[@]}" | median)
    RESULT[$method.c_cpu]=$(printf '%s\n' "${c_cpu[@]}" | median)
    RESULT[$method.before]=$(printf '%s\n' "${before[@]}" | median)
    RESULT[$method.small_kb]=$small_kb
done

# The program syncs the file to disk before it replaces the old backup; curl
# leaves it to the kernel's write-back. On a real disk that shows.
DISK=$(mktemp -d /var/tmp/vw-bench-disk.XXXXXX)
if [ "$(df -PT "$DISK" | awk 'NR == 2 { print $2 }')" != tmpfs ]; then
    note "ftp: $ROUNDS rounds of ${SIZE_MIB} MiB into a directory on disk"
    GET=$DISK
    d_p=() d_c=()
    for _ in $(seq "$ROUNDS"); do
        out=$(program_get ftp big.sql); d_p+=("${out%% *}")
        out=$(curl_get ftp big.sql); d_c+=("${out%% *}")
        rm -f "$GET"/*
    done
    DISK_P=$(printf '%s\n' "${d_p[@]}" | median)
    DISK_C=$(printf '%s\n' "${d_c[@]}" | median)
fi
rm -rf "$DISK"
rm -f "$W/srv/big.sql" "$W/get/"*
compressed_runs
ssh_runs

# ---------------------------------------------------------------------------
note "CPU over 60 idle seconds: vaultwick with its window shown, and the main window in the tray"
"$BENCH" make-store "$W/one.conf" 0
"$BENCH" make-store "$W/t1000.conf" 1000
mkdir -p "$W/home/.config/Korvane" "$W/prog"
cp "$W/one.conf" "$W/home/.config/Korvane/Vaultwick.conf"
cp "$PROGRAM" "$W/prog/vaultwick"
HOME=$W/home XDG_CONFIG_HOME=$W/home/.config "$W/prog/vaultwick" >/dev/null 2>&1 &
VW_PID=$!
PIDS+=("$VW_PID")
"$BENCH" idle-tray "$W/one.conf" 60 >"$W/idle-tray.out" 2>/dev/null &
TRAY_PID=$!
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
sleep 5  # past the splash and the first paint
t0=$(cpu_ticks "$VW_PID")
sleep 60
t1=$(cpu_ticks "$VW_PID")
kill -TERM "$VW_PID"
wait "$TRAY_PID"
IDLE_SHOWN_MS=$(( (t1 - t0) * 1000 / $(getconf CLK_TCK) ))
IDLE_TRAY=$(cat "$W/idle-tray.out")

note "CPU over a connection wait and over the paced sending of a dump command"
start_peer SILENT_PORT /usr/bin/python3 "$PEERS" silent
CONNECT=$("$BENCH" connect-wait "$W/one.conf" "$SILENT_PORT" 2>/dev/null)
start_peer PROMPT_PORT /usr/bin/python3 "$PEERS" prompt "127.0.0.1> "
PACED=$("$BENCH" paced-send "$W/one.conf" "$PROMPT_PORT" 2>/dev/null)

# ---------------------------------------------------------------------------
note "start-up to the main window shown"
startups=()
for _ in 1 2 3 4 5; do
    startups+=("$(field exposed_ms "$("$BENCH" startup "$W/one.conf" 2>/dev/null)")")
done
STARTUP_ONE=$(printf '%s\n' "${startups[@]}" | median)
declare -A STARTUP REFRESH
for n in 100 1000 10000; do
    [ -f "$W/t$n.conf" ] || "$BENCH" make-store "$W/t$n.conf" "$n"
    startups=()
    for _ in 1 2 3; do
        startups+=("$(field exposed_ms "$("$BENCH" startup "$W/t$n.conf" 2>/dev/null)")")
    done
    STARTUP[$n]=$(printf '%s\n' "${startups[@]}" | median)
done

note "RefreshTaskList with 100, 1 000 and 10 000 stored tasks; saving one task into 1 000"
for n in 100 1000 10000; do
    REFRESH[$n]=$(field median_ms "$("$BENCH" refresh "$W/t$n.conf" 3 2>/dev/null)")
done
SAVE_1000=$(field median_ms "$("$BENCH" save "$W/t1000.conf" 5 2>/dev/null)")

# ---------------------------------------------------------------------------
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
ms() { awk -v v="$1" 'BEGIN { printf "%.0f ms", v }'; }

echo
echo "| Measurement | vaultwick | reference | note |"
echo "|---|---|---|---|"
for method in ftp http; do
    M=$(tr a-z A-Z <<<"$method")
    echo "| $M ${SIZE_MIB} MiB, time (median of $ROUNDS) | ${RESULT[$method.p_s]} s | curl ${RESULT[$method.c_s]} s | ratio $(ratio "${RESULT[$method.p_s]}" "${RESULT[$method.c_s]}") |"
    echo "| $M ${SIZE_MIB} MiB, CPU time (median) | ${RESULT[$method.p_cpu]} s | curl ${RESULT[$method.c_cpu]} s | ratio $(ratio "${RESULT[$method.p_cpu]}" "${RESULT[$method.c_cpu]}"); user + system; ${RESULT[$method.updates]} progress updates shown |"
    echo "| $M ${SIZE_MIB} MiB, peak memory | $(mib "${RESULT[$method.p_kb]}") | curl $(mib "${RESULT[$method.c_kb]}") | before the transfer $(mib "${RESULT[$method.before]}"); 16 MiB file: $(mib "${RESULT[$method.small_kb]}") |"
done
[ -n "${DISK_P:-}" ] && echo "| FTP ${SIZE_MIB} MiB onto disk, time (median of $ROUNDS) | $DISK_P s | curl $DISK_C s | ratio $(ratio "$DISK_P" "$DISK_C"); the program syncs before it replaces the old file, curl does not |"
compressed_rows
ssh_rows
if [ "$IDLE_SHOWN_MS" = 0 ]; then IDLE_SHOWN="< 10 ms"; else IDLE_SHOWN="$IDLE_SHOWN_MS ms"; fi
echo "| CPU, 60 s idle, window shown (real program) | $IDLE_SHOWN | | utime + stime from /proc, in clock ticks of 10 ms |"
echo "| CPU, 60 s idle, in the tray | $(field cpu_ms "$IDLE_TRAY") ms | | $(field wakeups "$IDLE_TRAY") wake-ups |"
echo "| CPU, connection wait ($(field seconds "$CONNECT") s) | $(field cpu_ms "$CONNECT") ms | | $(field cpu_percent "$CONNECT") % of a core, $(field wakeups "$CONNECT") wake-ups |"
echo "| CPU, user name and $(field dump_command_chars "$PACED")-character dump command paced ($(field seconds "$PACED") s) | $(field cpu_ms "$PACED") ms | | $(field cpu_percent "$PACED") % of a core, $(field wakeups "$PACED") wake-ups |"
echo "| Start-up to main window exposed, 1 task (median of 5) | $(ms "$STARTUP_ONE") | | splash excluded |"
for n in 100 1000 10000; do
    echo "| Start-up to main window exposed, $n tasks (median of 3) | $(ms "${STARTUP[$n]}") | | |"
done
for n in 100 1000 10000; do
    echo "| RefreshTaskList, $n tasks (median of 3) | $(ms "${REFRESH[$n]}") | | |"
done
echo "| Saving one task into 1 000 (median of 5) | $(ms "$SAVE_1000") | | |"
