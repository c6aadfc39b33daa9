#!/usr/bin/env bash
# Makes the README's screenshots in docs/screenshots/: the demo window, the query dialog and the
# value picker in Qt's Fusion style, light, dark, with a 12 pt and a 14 pt font, in German, and at
# twice the scale (QT_SCALE_FACTOR=2), on a virtual display (xvfb-run, Debian package xvfb).
#   tools/screenshots.sh [BUILD_DIR]        (default: build; configured already)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out="$root/docs/screenshots"
mkdir -p "$out"

cmake --build "$build" --target condora_screenshots -j "${JOBS:-$(nproc)}"
program="$build/tools/screenshots/condora_screenshots"

shoot() {
    xvfb-run -a -s "-screen 0 1600x1200x24" env QT_QPA_PLATFORM=xcb "$@"
}
shoot "$program" "$out" light --features --working
shoot "$program" "$out" dark --dark --working
shoot "$program" "$out" 12pt --points 12
shoot "$program" "$out" 14pt --points 14
shoot "$program" "$out" de --translation "$build/translations/condora_de.qm"
shoot env QT_SCALE_FACTOR=2 "$program" "$out" scale2
ls -l "$out"
