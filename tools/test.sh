#!/usr/bin/env bash
# Builds Condora and runs every test, PostgreSQL and MariaDB tests included.
#   tools/test.sh [extra cmake arguments...]
# Environment: BUILD_DIR (default: build), CONDORA_TEST_REQUIRE_PG=1 and CONDORA_TEST_REQUIRE_MARIADB=1
# to fail instead of skipping the PostgreSQL or MariaDB tests when no server can be started, JOBS
# (default: number of cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=${JOBS:-$(nproc)}

"$root/tools/install-packages.sh" packages.txt packages-test.txt

# Compiler caching across clones and build folders (paths are made relative to the checkout).
export CCACHE_BASEDIR="$root"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build" -j "$jobs"

pgdir=""
mariadbdir=""
cleanup() {
    if [ -n "$pgdir" ]; then
        "$root/tools/pgtest.sh" stop "$pgdir" || true
    fi
    if [ -n "$mariadbdir" ]; then
        "$root/tools/mariadbtest.sh" stop "$mariadbdir" || true
    fi
}
trap cleanup EXIT

if [ -z "${CONDORA_TEST_PG_HOST:-}" ]; then
    pgdir=$(mktemp -d /tmp/condora-pg.XXXXXX)
    chmod 755 "$pgdir"
    if env_lines=$("$root/tools/pgtest.sh" start "$pgdir"); then
        eval "$env_lines"
        echo "PostgreSQL test server on 127.0.0.1:$CONDORA_TEST_PG_PORT"
    else
        rm -rf "$pgdir"
        pgdir=""
        if [ "${CONDORA_TEST_REQUIRE_PG:-0}" = 1 ]; then
            echo "PostgreSQL test server could not be started and is required" >&2
            exit 1
        fi
        echo "PostgreSQL test server not available: PostgreSQL tests will be skipped" >&2
    fi
fi

if [ -z "${CONDORA_TEST_MARIADB_HOST:-}" ]; then
    mariadbdir=$(mktemp -d /tmp/condora-mariadb.XXXXXX)
    chmod 755 "$mariadbdir"
    if env_lines=$("$root/tools/mariadbtest.sh" start "$mariadbdir"); then
        eval "$env_lines"
        echo "MariaDB test server on 127.0.0.1:$CONDORA_TEST_MARIADB_PORT"
    else
        "$root/tools/mariadbtest.sh" stop "$mariadbdir" || true
        mariadbdir=""
        if [ "${CONDORA_TEST_REQUIRE_MARIADB:-0}" = 1 ]; then
            echo "MariaDB test server could not be started and is required" >&2
            exit 1
        fi
        echo "MariaDB test server not available: MariaDB tests will be skipped" >&2
    fi
fi

cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 900
