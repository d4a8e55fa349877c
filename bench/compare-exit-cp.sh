#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The end of a run as the user meets it, against a plain `cp` of the database:
# the program (offscreen) is started on a 1,000,000-word database, sent SIGTERM
# once it is up, and timed from the signal to its end; then `cp` copies the
# same file, in the same round. `sync` before each, so that neither pays for
# the other's writes. Prints each round, the medians and their ratio, and
# checks that "LPDB.lbf Bak" equals the database after every exit.
#
# Usage: bench/compare-exit-cp.sh [BUILD_DIR]   (default: build/release)
#        WORDS=... ROUNDS=... to change the size and the number of rounds.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/release}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
program="$build/src/app/lexipond"
tool="$build/src/cli/lexipond-db"
words="${WORDS:-1000000}"
rounds="${ROUNDS:-5}"

for f in "$program" "$tool"; do
    if [ ! -x "$f" ]; then
        echo "compare-exit-cp: $f is missing; build the release preset first" >&2
        exit 1
    fi
done

work="$(mktemp -d "${TMPDIR:-/tmp}/lexipond-exit.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
data="$XDG_DATA_HOME/Hollet/Lexipond"

now_ns() { date +%s%N; }

# Starts the program, waits until it is up, ends it with SIGTERM; prints the
# milliseconds from the signal to its end.
run_and_end() {
    "$program" >/dev/null 2>&1 &
    local pid=$! start end
    sleep "${1:-4}"
    sync
    start=$(now_ns)
    kill -TERM "$pid"
    wait "$pid" || true
    end=$(now_ns)
    echo $(((end - start) / 1000000))
}

# A first run makes the data folder and its settings (no welcome prompt later);
# then the database is swapped for a large one made by the import.
run_and_end 3 >/dev/null
seq -f 'w%07g' 1 "$words" > "$work/words.txt"
rm -f "$data/LPDB.lbf"
"$tool" import "$data/LPDB.lbf" "$work/words.txt" >/dev/null
cp "$data/LPDB.lbf" "$data/LPDB.lbf Bak"
size=$(stat -c %s "$data/LPDB.lbf")

exits=() copies=() ratios=()
for ((r = 1; r <= rounds; r++)); do
    exit_ms=$(run_and_end 6)
    sync
    start=$(now_ns)
    cp "$data/LPDB.lbf" "$work/copy"
    end=$(now_ns)
    cp_ms=$(((end - start) / 1000000))
    rm -f "$work/copy"
    if ! cmp -s "$data/LPDB.lbf" "$data/LPDB.lbf Bak"; then
        echo "compare-exit-cp: round $r: LPDB.lbf Bak differs from the database" >&2
        exit 1
    fi
    echo "round $r: exit $exit_ms ms, cp $cp_ms ms"
    exits+=("$exit_ms") copies+=("$cp_ms")
    ratios+=("$(awk -v e="$exit_ms" -v c="$cp_ms" 'BEGIN { printf "%.2f", (c > 0 ? e / c : 0) }')")
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
exit_median=$(median "${exits[@]}")
cp_median=$(median "${copies[@]}")
ratio_median=$(median "${ratios[@]}")
awk -v w="$words" -v s="$size" -v e="$exit_median" -v c="$cp_median" -v r="$ratio_median" 'BEGIN {
    printf "%d words (%.0f MB): exit %d ms, cp %d ms (medians); ratio %.2fx (median of the rounds)\n",
           w, s / 1e6, e, c, r }'
