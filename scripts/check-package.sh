#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the built .deb as Debian would: lintian on the package (errors fail,
# warnings are shown), then the metainfo and the desktop entry that it ships.
set -euo pipefail
dir="${1:-build/package}"
shopt -s nullglob
debs=("$dir"/lexipond_*.deb)
if [ "${#debs[@]}" -ne 1 ]; then
    echo "check-package: expected one lexipond_*.deb in $dir, found ${#debs[@]}" >&2
    exit 1
fi
deb="${debs[0]}"
echo "== lintian $deb"
lintian --fail-on error "$deb"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
metainfo=("$tree"/usr/share/metainfo/*.metainfo.xml)
desktop=("$tree"/usr/share/applications/*.desktop)
if [ "${#metainfo[@]}" -ne 1 ] || [ "${#desktop[@]}" -ne 1 ]; then
    echo "check-package: expected one metainfo file and one desktop entry in $deb" >&2
    exit 1
fi
echo "== appstreamcli validate --no-net $(basename "${metainfo[0]}")"
appstreamcli validate --no-net "${metainfo[0]}"
echo "== appstreamcli validate-tree --no-net (the metainfo with the desktop entry and icons it names)"
appstreamcli validate-tree --no-net "$tree"
echo "== desktop-file-validate $(basename "${desktop[0]}")"
desktop-file-validate "${desktop[0]}"
echo "$deb: $(du -k "$deb" | cut -f1) KiB, checked"
