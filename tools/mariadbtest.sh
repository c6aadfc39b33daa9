#!/usr/bin/env bash
# A throwaway MariaDB server for the tests, on 127.0.0.1.
#   tools/mariadbtest.sh start DIR   initialises and starts a server with its data in DIR and
#                                    prints the environment lines the tests read (eval them)
#   tools/mariadbtest.sh stop DIR    stops it and removes DIR
# Runs as the "mysql" system user when started as root. The server reads no option file: every
# setting is on its command line, so a system-wide MariaDB installation is left alone.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

server=$(command -v mariadbd || ls /usr/sbin/mariadbd 2>/dev/null || true)
if [ -z "$server" ] || ! command -v mariadb-install-db >/dev/null || ! command -v mariadb-admin >/dev/null; then
    echo "mariadbtest: MariaDB server binaries not found (Debian package mariadb-server)" >&2
    exit 3
fi

as_owner() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u mysql -- "$@"
    else
        "$@"
    fi
}

socket="$dir/mariadbd.sock"

admin() {
    mariadb-admin --no-defaults --protocol=socket --socket="$socket" -u root --connect-timeout=2 "$@"
}

case "$cmd" in
start)
    dir=$(mkdir -p "$dir" && cd "$dir" && pwd)
    socket="$dir/mariadbd.sock"
    if [ "$(id -u)" = 0 ]; then chown mysql: "$dir"; fi
    port=${CONDORA_TEST_MARIADB_PORT:-}
    if [ -z "$port" ]; then
        # First free port from 33069 upwards.
        port=33069
        while (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
    fi
    # root@localhost gets a password login with an empty password, reachable only through the
    # socket in DIR (the server resolves no host names, and the test user is created below).
    as_owner mariadb-install-db --no-defaults --datadir="$dir/data" --auth-root-authentication-method=normal \
        --skip-test-db --skip-name-resolve >"$dir/install.log" 2>&1 \
        || { cat "$dir/install.log" >&2; exit 1; }
    # Small buffers and no durability: the data lives only as long as the test run.
    as_owner setsid "$server" --no-defaults --datadir="$dir/data" --socket="$socket" --pid-file="$dir/mariadbd.pid" \
        --bind-address=127.0.0.1 --port="$port" --skip-name-resolve --log-error="$dir/server.log" \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        --innodb-buffer-pool-size=16M --innodb-log-file-size=8M --innodb-log-buffer-size=2M \
        --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0 --innodb-flush-method=nosync \
        --sync-binlog=0 --skip-log-bin --key-buffer-size=1M --performance-schema=off \
        --max-connections=50 </dev/null >>"$dir/server.out" 2>&1 &
    started=0
    for _ in $(seq 1 120); do
        if admin ping >/dev/null 2>&1; then
            started=1
            break
        fi
        if [ -f "$dir/mariadbd.pid" ] || kill -0 $! 2>/dev/null; then
            sleep 0.5
        else
            break
        fi
    done
    if [ "$started" != 1 ]; then
        echo "mariadbtest: the server did not answer" >&2
        cat "$dir/server.out" "$dir/server.log" >&2 2>/dev/null || true
        if [ -f "$dir/mariadbd.pid" ]; then kill "$(cat "$dir/mariadbd.pid")" 2>/dev/null || true; fi
        exit 1
    fi
    mariadb --no-defaults --protocol=socket --socket="$socket" -u root -e "
        CREATE USER 'condora'@'%' IDENTIFIED BY 'condora';
        GRANT ALL PRIVILEGES ON *.* TO 'condora'@'%' WITH GRANT OPTION;
        CREATE USER 'condora'@'localhost' IDENTIFIED BY 'condora';
        GRANT ALL PRIVILEGES ON *.* TO 'condora'@'localhost' WITH GRANT OPTION;" >&2 \
        || { admin shutdown >/dev/null 2>&1 || true; exit 1; }
    echo "export CONDORA_TEST_MARIADB_HOST=127.0.0.1"
    echo "export CONDORA_TEST_MARIADB_PORT=$port"
    echo "export CONDORA_TEST_MARIADB_USER=condora"
    echo "export CONDORA_TEST_MARIADB_PASSWORD=condora"
    ;;
stop)
    if [ -f "$dir/mariadbd.pid" ]; then
        pid=$(cat "$dir/mariadbd.pid")
        admin shutdown >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
        # The server removes its pid file once it has stopped.
        for _ in $(seq 1 60); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.5
        done
        if kill -0 "$pid" 2>/dev/null; then kill -9 "$pid" 2>/dev/null || true; fi
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
