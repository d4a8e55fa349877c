#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the missing Debian packages of the named lists, scripts/packages-NAME.txt:
#   ensure-deps.sh run build [test] [package]
# As root it runs apt-get; otherwise it prints the exact command and stops.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ "$#" -eq 0 ]; then
    echo "usage: $0 LIST... (lists: run build test package)" >&2
    exit 2
fi
wanted=()
for list in "$@"; do
    file="$here/packages-$list.txt"
    if [ ! -f "$file" ]; then
        echo "$0: no package list $file" >&2
        exit 2
    fi
    mapfile -t -O "${#wanted[@]}" wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]*$//' -e '/^$/d' "$file")
done
missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi
# A package named in two lists is installed once.
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | awk '!seen[$0]++')
cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Lexipond needs these Debian packages ($*): ${missing[*]}" >&2
    echo "Install them with:  sudo apt-get update && sudo $cmd" >&2
    exit 1
fi
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
$cmd
