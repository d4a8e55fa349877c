#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks every #include under SRC against the layer table in SRC/README.md:
# a folder may include itself and the folders its row names; core/ and cli/
# include no Qt header; the table itself only refers to folders above a row.
# Prints each offending file:line and fails; silent and 0 when all is well.
set -euo pipefail
src="${1:?usage: layer_check.sh SRC_FOLDER}"
table="$src/README.md"
declare -A allowed
order=()
while IFS='|' read -r _ folder _ includes _; do
    folder="$(echo "$folder" | xargs)"
    includes="$(echo "$includes" | xargs)"
    [[ "$folder" =~ ^(core|ui)/[a-z]+$|^(app|cli)$ ]] || continue
    [ "$includes" = "-" ] && includes=""
    for dep in $includes; do
        if [ -z "${allowed[$dep]+x}" ]; then
            echo "$table: $folder may include $dep, which is not listed above it" >&2
            exit 1
        fi
    done
    allowed[$folder]=" $folder $includes "
    order+=("$folder")
done < "$table"
[ "${#order[@]}" -gt 0 ] || { echo "$table: no layer table found" >&2; exit 1; }

failures=0
while IFS= read -r -d '' file; do
    rel="${file#"$src"/}"
    case "$rel" in
        core/*|ui/*) rest="${rel#*/}"; folder="${rel%%/*}/${rest%%/*}" ;;
        *) folder="${rel%%/*}" ;;
    esac
    [ "$folder" = "$rel" ] && continue # files at the top of src/
    if [ -z "${allowed[$folder]+x}" ]; then
        echo "$rel: folder $folder is not in $table" >&2
        failures=$((failures + 1))
        continue
    fi
    while IFS=: read -r line text; do
        if [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
            target="${BASH_REMATCH[1]}"
            [ "$target" = "LexipondVersion.h" ] && continue
            # The meta-object code Qt generates for a class declared in this very file.
            [ "$target" = "$(basename "${rel%.cpp}").moc" ] && continue
            case "$target" in
                core/*|ui/*) rest="${target#*/}"; tfolder="${target%%/*}/${rest%%/*}" ;;
                *) tfolder="${target%%/*}" ;;
            esac
            if [ "$tfolder" = "$target" ]; then
                echo "$rel:$line: include \"$target\" names no folder (write it from src/)" >&2
                failures=$((failures + 1))
            elif [[ "${allowed[$folder]}" != *" $tfolder "* ]]; then
                echo "$rel:$line: $folder may not include $target" >&2
                failures=$((failures + 1))
            fi
        elif [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*)[/\>] ]]; then
            case "$folder" in core/*|cli)
                echo "$rel:$line: $folder may not include the Qt header ${BASH_REMATCH[1]}" >&2
                failures=$((failures + 1)) ;;
            esac
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.h.in' \) -print0 | sort -z)

if [ "$failures" -gt 0 ]; then
    echo "$failures include(s) break the layer order of $table" >&2
    exit 1
fi
