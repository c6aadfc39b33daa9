#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests, on 127.0.0.1.
#   tools/pgtest.sh start DIR   initialises and starts a server with its data in DIR and
#                               prints the environment lines the tests read (eval them)
#   tools/pgtest.sh stop DIR    stops it and removes DIR
# Runs as the "postgres" system user when started as root (the server refuses to run as root).
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "pgtest: PostgreSQL server binaries not found (Debian package postgresql)" >&2
    exit 3
fi

as_owner() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

case "$cmd" in
start)
    mkdir -p "$dir"
    if [ "$(id -u)" = 0 ]; then chown postgres: "$dir"; fi
    port=${CONDORA_TEST_PG_PORT:-}
    if [ -z "$port" ]; then
        # First free port from 54329 upwards.
        port=54329
        while (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
    fi
    as_owner "$bindir/initdb" -D "$dir/data" -U condora --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log" >&2; exit 1; }
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-h 127.0.0.1 -p $port -k $dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off" start >/dev/null \
        || { cat "$dir/server.log" >&2; exit 1; }
    echo "export CONDORA_TEST_PG_HOST=127.0.0.1"
    echo "export CONDORA_TEST_PG_PORT=$port"
    echo "export CONDORA_TEST_PG_USER=condora"
    echo "export CONDORA_TEST_PG_PASSWORD=condora"
    ;;
stop)
    if [ -d "$dir/data" ]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
