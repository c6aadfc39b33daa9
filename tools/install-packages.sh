#!/usr/bin/env bash
# Installs the Debian packages of the given lists in tools/ that are missing (apt-get; sudo when not
# root).   tools/install-packages.sh [LIST...]   (default: packages.txt)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$@")
[ ${#lists[@]} -gt 0 ] || lists=(packages.txt)
wanted=()
for list in "${lists[@]}"; do
    mapfile -t -O "${#wanted[@]}" wanted < <(grep -v -E '^\s*(#|$)' "$here/$list")
done
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
if [ "${CONDORA_APT_UPDATED:-0}" != 1 ]; then
    $sudo apt-get update -qq
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
