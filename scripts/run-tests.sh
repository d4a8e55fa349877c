#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one preset's tests, with a private runtime folder and a virtual X server
# for the tests that open real windows.
set -euo pipefail
preset="$1"; shift
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
XDG_RUNTIME_DIR="$(mktemp -d)"; chmod 700 "$XDG_RUNTIME_DIR"; export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j 2 "$@"
else
    ctest --preset "$preset" -j 2 "$@"
fi
