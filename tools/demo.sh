#!/usr/bin/env bash
# Builds and starts the demo program CondoraHost on its embedded sample database.
#   tools/demo.sh [extra cmake arguments...]
# Installs the Debian packages it needs when they are missing (apt-get; sudo when not root).
# Environment: BUILD_DIR (default: build), BUILD_TYPE (default: RelWithDebInfo), JOBS (default: number
# of cores). Without a display it builds, then says how to start the demo under xvfb-run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=${JOBS:-$(nproc)}

"$root/tools/install-packages.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build" --target CondoraHost -j "$jobs"

program="$build/demo/CondoraHost"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat <<MESSAGE
CondoraHost is built ($program), but there is no display to show it on
(neither DISPLAY nor WAYLAND_DISPLAY is set). To run it on a virtual display instead:

    xvfb-run -a $root/tools/demo.sh

or start the program directly on a machine with a desktop:

    $program
MESSAGE
    exit 0
fi

echo "Starting $program"
exec "$program"
