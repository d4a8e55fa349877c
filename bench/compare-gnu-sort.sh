#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Side by side, on the same lists of unique words and under the same locale:
# GNU `sort -s` against `lexipond-db import` into a new database (which
# imports and then sorts), at 1,000 / 10,000 / 100,000 words. Prints the
# median wall time of several runs and the peak resident memory of each, and
# checks that both produce the same order.
#
# Usage: bench/compare-gnu-sort.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/release}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
tool="$build/src/cli/lexipond-db"
runs="${RUNS:-5}"
locale_name="en_US.UTF-8"

if [ ! -x "$tool" ]; then
    echo "compare-gnu-sort: $tool is missing; build the release preset first" >&2
    exit 1
fi
if [ ! -x /usr/bin/time ]; then
    echo "compare-gnu-sort: /usr/bin/time is needed for the memory figures" >&2
    exit 1
fi
# GNU sort silently falls back to byte order when the locale is missing.
if ! locale -a 2>/dev/null | grep -qix 'en_US\.utf-\?8'; then
    echo "compare-gnu-sort: generating the $locale_name locale" >&2
    if ! localedef -i en_US -f UTF-8 "$locale_name" 2>/dev/null; then
        echo "compare-gnu-sort: cannot generate $locale_name (localedef needs root)" >&2
        exit 1
    fi
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/lexipond-gnu-sort.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# count unique random words of 3 to 12 letters, about one in eight capitalised,
# in random order; LF lines for sort, CR LF lines for the word list import.
make_list() {
    awk -v n="$1" -v seed="$1" 'BEGIN {
        srand(seed); letters = "abcdefghijklmnopqrstuvwxyz"; made = 0
        while (made < n) {
            len = 3 + int(rand() * 10); w = ""
            for (i = 0; i < len; i++) w = w substr(letters, 1 + int(rand() * 26), 1)
            if (rand() < 0.125) w = toupper(substr(w, 1, 1)) substr(w, 2)
            if (!(w in seen)) { seen[w] = 1; print w; made++ }
        }
    }' > "$work/words-$1.lf"
    sed 's/$/\r/' "$work/words-$1.lf" > "$work/words-$1.crlf"
}

now_ns() { date +%s%N; }

# Runs "$@" $runs times; prints "median_ms peak_kib" (peak of the last run).
measure() {
    local times=() start end
    for ((r = 0; r < runs; r++)); do
        "$before_each"
        start=$(now_ns)
        /usr/bin/time -f "%M" -o "$work/mem" "$@" > "$work/out" 2> "$work/err" || {
            echo "compare-gnu-sort: failed: $*" >&2
            cat "$work/err" >&2
            exit 1
        }
        end=$(now_ns)
        times+=($(((end - start) / 1000)))
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    printf '%d.%d %s\n' $((median / 1000)) $(((median % 1000) / 100)) "$(tail -n 1 "$work/mem")"
}

nothing() { :; }
fresh_db() { rm -f "$work/words.db"; }

printf '| words | GNU sort -s | lexipond-db import (new db) + sort | ratio | GNU peak | lexipond-db peak | same order |\n'
printf '|---:|---:|---:|---:|---:|---:|:---:|\n'
for n in 1000 10000 100000; do
    make_list "$n"
    before_each=nothing
    read -r gnu_ms gnu_kib < <(measure env LC_ALL="$locale_name" sort -s "$work/words-$n.lf")
    cp "$work/out" "$work/gnu-sorted"
    before_each=fresh_db
    read -r our_ms our_kib < <(measure env LC_ALL="$locale_name" "$tool" import "$work/words.db" "$work/words-$n.crlf")
    LC_ALL="$locale_name" "$tool" list "$work/words.db" | tail -n +2 | cut -d, -f1 > "$work/our-sorted"
    if cmp -s "$work/gnu-sorted" "$work/our-sorted"; then same=yes; else same=no; fi
    ratio=$(awk -v a="$our_ms" -v b="$gnu_ms" 'BEGIN { printf (b > 0 ? "%.2f" : "n/a"), a / b }')
    printf '| %s | %s ms | %s ms | %sx | %s MiB | %s MiB | %s |\n' "$n" "$gnu_ms" "$our_ms" "$ratio" \
        "$(awk -v k="$gnu_kib" 'BEGIN { printf "%.1f", k / 1024 }')" \
        "$(awk -v k="$our_kib" 'BEGIN { printf "%.1f", k / 1024 }')" "$same"
done
echo
echo "Times are the median of $runs runs of the whole process (start-up included);"
echo "peak is the maximum resident set size. Locale: $locale_name for both."
