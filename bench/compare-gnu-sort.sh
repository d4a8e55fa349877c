#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Side by side, on the same lists of unique words and under the same locale:
# GNU `sort -s -u` against `lexipond-db import` into a new database (which
# imports and sorts), at 1,000 / 10,000 / 100,000 / 1,000,000 words. Prints
# the median wall time of several runs and the peak resident memory of each,
# and checks that both produce the same order. Then the two imports into a
# database that exists: the same 100,000-word list again (nothing new), and
# 10,000 new words into the 1,000,000-word database.
#
# Usage: bench/compare-gnu-sort.sh [BUILD_DIR]   (default: build/release)
# SIZES="1000 10000" limits the sizes (the import rows need 100000 and 1000000).
# REFERENCE=/path/to/another/lexipond-db also imports each list with that
# build and says whether the two database files are byte for byte the same.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/release}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
tool="$build/src/cli/lexipond-db"
runs="${RUNS:-5}"
sizes="${SIZES:-1000 10000 100000 1000000}"
reference="${REFERENCE:-}"
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

# count unique random words of 3 to 12 letters (or from $2 letters on, ten
# lengths), about one in eight capitalised, in random order; LF lines for sort,
# CR LF lines for the word list import.
make_list() {
    awk -v n="$1" -v seed="$1" -v shortest="${2:-3}" 'BEGIN {
        srand(seed); letters = "abcdefghijklmnopqrstuvwxyz"; made = 0
        while (made < n) {
            len = shortest + int(rand() * 10); w = ""
            for (i = 0; i < len; i++) w = w substr(letters, 1 + int(rand() * 26), 1)
            if (rand() < 0.125) w = toupper(substr(w, 1, 1)) substr(w, 2)
            if (!(w in seen)) { seen[w] = 1; print w; made++ }
        }
    }' > "$work/words-$1${2:+-long}.lf"
    sed 's/$/\r/' "$work/words-$1${2:+-long}.lf" > "$work/words-$1${2:+-long}.crlf"
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
# The 1,000,000-word database again, its copy's writes on the disk before the clock starts.
big_db() { cp "$work/big.db" "$work/words.db"; sync; }

ms_of() { awk -v a="$1" 'BEGIN { printf "%.1f", a }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

printf '| words | GNU sort -s -u | lexipond-db import (new db) | ratio | GNU peak | lexipond-db peak | db file | peak - file | same order |'
[ -n "$reference" ] && printf ' same bytes as REFERENCE |'
printf '\n|---:|---:|---:|---:|---:|---:|---:|---:|:---:|'
[ -n "$reference" ] && printf ':---:|'
printf '\n'
first_100k=""
for n in $sizes; do
    make_list "$n"
    before_each=nothing
    read -r gnu_ms gnu_kib < <(measure env LC_ALL="$locale_name" sort -s -u "$work/words-$n.lf")
    cp "$work/out" "$work/gnu-sorted"
    before_each=fresh_db
    read -r our_ms our_kib < <(measure env LC_ALL="$locale_name" "$tool" import "$work/words.db" "$work/words-$n.crlf")
    [ "$n" = 100000 ] && first_100k="$our_ms"
    size=$(stat -c %s "$work/words.db")
    LC_ALL="$locale_name" "$tool" list "$work/words.db" | tail -n +2 | cut -d, -f1 > "$work/our-sorted"
    if cmp -s "$work/gnu-sorted" "$work/our-sorted"; then same=yes; else same=no; fi
    ratio=$(awk -v a="$our_ms" -v b="$gnu_ms" 'BEGIN { printf (b > 0 ? "%.2f" : "n/a"), a / b }')
    printf '| %s | %s ms | %s ms | %sx | %s MiB | %s MiB | %s MiB | %s MiB | %s |' "$n" "$gnu_ms" "$our_ms" "$ratio" \
        "$(mib "$gnu_kib")" "$(mib "$our_kib")" "$(mib $((size / 1024)))" \
        "$(mib $((our_kib - size / 1024)))" "$same"
    if [ -n "$reference" ]; then
        rm -f "$work/ref.db"
        LC_ALL="$locale_name" "$reference" import "$work/ref.db" "$work/words-$n.crlf" > /dev/null
        if cmp -s "$work/ref.db" "$work/words.db"; then printf ' yes |'; else printf ' NO |'; fi
    fi
    printf '\n'
    [ "$n" = 1000000 ] && cp "$work/words.db" "$work/big.db"
done
echo
echo "Times are the median of $runs runs of the whole process (start-up and the"
echo "sync of the new file included); peak is the maximum resident set size."
echo "Locale: $locale_name for both."

if [ -n "$first_100k" ]; then
    echo
    # The database the 100,000-word list made, and the same list again.
    rm -f "$work/words.db"
    LC_ALL="$locale_name" "$tool" import "$work/words.db" "$work/words-100000.crlf" > /dev/null
    sum_before=$(md5sum < "$work/words.db")
    before_each=nothing
    read -r again_ms again_kib < <(measure env LC_ALL="$locale_name" "$tool" import "$work/words.db" "$work/words-100000.crlf")
    [ "$(md5sum < "$work/words.db")" = "$sum_before" ] && untouched=yes || untouched=no
    printf '| re-import of the same 100,000 words | %s ms | %.2fx the first import (%s ms) | file untouched: %s | peak %s MiB |\n' \
        "$again_ms" "$(awk -v a="$again_ms" -v b="$first_100k" 'BEGIN { print a / b }')" "$first_100k" "$untouched" "$(mib "$again_kib")"
fi
if [ -f "$work/big.db" ]; then
    make_list 10000 13 # 13 to 22 letters: none is in the big list
    before_each=big_db
    read -r merge_ms merge_kib < <(measure env LC_ALL="$locale_name" "$tool" import "$work/words.db" "$work/words-10000-long.crlf")
    printf '| 10,000 new words into the 1,000,000-word database | %s ms | | | peak %s MiB |\n' "$merge_ms" "$(mib "$merge_kib")"
    if [ -n "$reference" ]; then
        cp "$work/big.db" "$work/ref.db"
        LC_ALL="$locale_name" "$reference" import "$work/ref.db" "$work/words-10000-long.crlf" > /dev/null
        cmp -s "$work/ref.db" "$work/words.db" && echo "merge: same bytes as REFERENCE" || echo "merge: bytes DIFFER from REFERENCE"
    fi
fi
