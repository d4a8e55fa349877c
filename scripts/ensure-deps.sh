#!/usr/bin/env bash
# Installs the Debian packages listed in debian-packages.txt that are missing.
# As root it runs apt-get; otherwise it prints the exact command and stops.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mapfile -t wanted < <(grep -v '^\s*#' "$here/debian-packages.txt" | sed '/^\s*$/d')
missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi
cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Lexipond needs these Debian packages: ${missing[*]}" >&2
    echo "Install them with:  sudo apt-get update && sudo $cmd" >&2
    exit 1
fi
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
$cmd
