#!/usr/bin/env bash
# Installs a built Condora into a temporary prefix and builds and runs, against that install only
# (find_package(Condora 3 CONFIG REQUIRED)):
#   the example host: one query run on the offscreen platform, OK in the dialog, then Cancel in
#   the convenience call;
#   tests/packaging/installedhost: every installed header compiled alone (-Wall -Wextra
#   -Wpedantic), a form designed with the Designer plugin through uic, and GetQueryModel() in
#   views compared cell by cell with QSqlQuery on SQLite and PostgreSQL.
#   tools/check-install.sh [BUILD_DIR]        (default: build; it must be built already)
# Environment: CONDORA_REQUIRE_DESIGNER_PLUGIN=1 to fail when the Designer plugin was not installed;
# CONDORA_TEST_PG_HOST etc. for a PostgreSQL server to use (otherwise a throwaway one is started,
# and CONDORA_TEST_REQUIRE_PG=1 fails when none can be).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d /tmp/condora-install.XXXXXX)
pgdir=""
cleanup() {
    if [ -n "$pgdir" ]; then
        "$root/tools/pgtest.sh" stop "$pgdir" || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix"

fail() { echo "check-install: $*" >&2; exit 1; }
for file in include/Condora/Condora include/Condora/condora.h include/Condora/condora_control.h \
            include/Condora/condora_export.h include/Condora/condora_version.h \
            share/Condora/translations/condora_de.qm; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
# Hosts get one flat folder of headers: nothing of this tree's folders (control/, platform/, ...).
subfolders=$(find "$prefix/include/Condora" -mindepth 1 -type d)
[ -z "$subfolders" ] || fail "include/Condora has folders: $subfolders"
if [ -d "$build/docs/html" ]; then
    [ -f "$prefix/share/doc/Condora/html/index.html" ] || fail "the built documentation was not installed"
fi
config=$(find "$prefix" -path '*/cmake/Condora/CondoraConfig.cmake' | head -n 1)
[ -n "$config" ] || fail "CondoraConfig.cmake was not installed"
library=$(find "$prefix" -name 'libCondora.so.*.*' | head -n 1)
[ -n "$library" ] || fail "libCondora.so was not installed"
# Read whole (grep -q would stop reading early, and objdump's broken pipe would fail the check).
soname=$(objdump -p "$library" | sed -n 's/^ *SONAME *//p')
[ "$soname" = libCondora.so.3 ] || fail "libCondora has no SONAME libCondora.so.3 (it has '$soname')"
plugin=$(find "$prefix" -path '*/plugins/designer/*condora*.so' | head -n 1)
if [ -z "$plugin" ] && [ "${CONDORA_REQUIRE_DESIGNER_PLUGIN:-0}" = 1 ]; then
    fail "the Designer plugin was not installed"
fi
echo "installed: ${library#"$prefix"/} ${plugin:+${plugin#"$prefix"/}}"

# The examples see the install and nothing of the source or build tree.
cmake -S "$root/examples" -B "$work/examples" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$work/examples" -j "${JOBS:-$(nproc)}"
QT_QPA_PLATFORM=offscreen timeout 120 "$work/examples/queryhost/queryhost" --run-once

# What a host built against the install alone gets.
cmake -S "$root/tests/packaging/installedhost" -B "$work/installedhost" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$work/installedhost" -j "${JOBS:-$(nproc)}"
QT_QPA_PLATFORM=offscreen "$work/installedhost/designedform"
if [ -z "${CONDORA_TEST_PG_HOST:-}" ]; then
    pgdir=$(mktemp -d /tmp/condora-pg.XXXXXX)
    chmod 755 "$pgdir"
    if env_lines=$("$root/tools/pgtest.sh" start "$pgdir"); then
        eval "$env_lines"
    else
        rm -rf "$pgdir"
        pgdir=""
        [ "${CONDORA_TEST_REQUIRE_PG:-0}" != 1 ] || fail "PostgreSQL test server could not be started and is required"
    fi
fi
QT_QPA_PLATFORM=offscreen timeout 300 "$work/installedhost/tst_installedmodel"
