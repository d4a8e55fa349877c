#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark of the release build, then the GNU sort comparison.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
shopt -s nullglob
for b in build/release/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true
done
if [ -x bench/compare-gnu-sort.sh ]; then
    echo "== GNU sort comparison"
    bench/compare-gnu-sort.sh build/release
fi
if [ -x bench/compare-exit-cp.sh ]; then
    echo "== End of a run against cp"
    bench/compare-exit-cp.sh build/release
fi
if [ -x build/release/bench/speech_judge ]; then
    # Every 5th word of the shipped list (63 words) keeps the run near 15 minutes.
    echo "== The speech judge"
    build/release/bench/speech_judge resources/dImport.txt --stride 5
fi
