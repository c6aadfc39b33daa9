#!/usr/bin/env bash
# Installs a built Condora into a temporary prefix and builds and runs the example host against
# that install only (find_package(Condora 3 CONFIG REQUIRED)): one query run on the offscreen
# platform, OK in the dialog, then Cancel in the convenience call.
#   tools/check-install.sh [BUILD_DIR]        (default: build; it must be built already)
# Environment: CONDORA_REQUIRE_DESIGNER_PLUGIN=1 to fail when the Designer plugin was not installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d /tmp/condora-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix"

fail() { echo "check-install: $*" >&2; exit 1; }
for file in include/Condora/Condora include/Condora/condora.h include/Condora/control/condora.h \
            include/Condora/condora_export.h include/Condora/condora_version.h \
            share/Condora/translations/condora_de.qm; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
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
