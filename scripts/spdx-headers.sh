#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's SPDX line at the top of every tracked source file that lacks it (after a "#!" line),
# and changes nothing else; with --check it only lists the files that lack it, and fails if any does.
#   scripts/spdx-headers.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
tag='SPDX-License-Identifier: GPL-3.0-or-later'
check=false
case "${1:-}" in
--check) check=true ;;
'') ;;
*)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

# Outside a git checkout there is nothing to go by: say so rather than pass over no file.
files=$(git ls-files -z | tr '\0' '\n') || {
    echo "$0: no git file list here (a source archive?): configure with -DVOKABO_SPDX_CHECK=OFF" >&2
    exit 2
}
[ -n "$files" ] || {
    echo "$0: git lists no file" >&2
    exit 2
}

lacking=0
while IFS= read -r -d '' file; do
    case "$file" in
    *.cpp | *.h | *.mjs) line="// $tag" ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh | *.py) line="# $tag" ;;
    *)
        # Scripts without an extension, such as .ci/run.
        head -n 1 "$file" | grep -Eq '^#!.*(ba)?sh' || continue
        line="# $tag"
        ;;
    esac
    at=1
    head -n 1 "$file" | grep -q '^#!' && at=2
    [ "$(sed -n "${at}p" "$file")" = "$line" ] && continue
    if $check; then
        echo "$file: line $at is not '$line'"
        lacking=1
    elif [ ! -s "$file" ]; then
        printf '%s\n' "$line" >"$file"
    elif [ "$at" = 2 ]; then
        sed -i "1a $line" "$file"
    else
        sed -i "1i $line" "$file"
    fi
done < <(git ls-files -z)
exit "$lacking"
