#!/usr/bin/env bash
# Checks that the program's folders build on each other from the ground up:
# a file under app/ includes headers of its own folder and of folders below it,
# never of a folder above it or beside it on the same level. Prints every
# include that breaks the order and fails when there is one.
#
#   tools/check-layers.sh [source folder]     (default: the checkout holding this script)
set -euo pipefail

root=${1:-"$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"}
cd "$root/app"

files=$(mktemp)
trap 'rm -f "$files"' EXIT
find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's#^\./##' | sort >"$files"

# Every include line of every file, with the list of files to tell an app/
# header from a generated form or a library header.
find . -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z |
    xargs -0 grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' /dev/null |
    awk -v files="$files" '
    BEGIN {
        # The layers, from the ground up; folders on one level leave each other alone.
        n = split("settings algos device traces dataproviders plot widgets measurements report tracelist analysis mainwindow", names, " ")
        split("0 1 2 3 4 5 5 6 7 8 9 10", levels, " ")
        for (i = 1; i <= n; ++i)
            level[names[i]] = levels[i] + 0
        while ((getline f < files) > 0)
            exists[f] = 1
    }
    # The layer of a path under app/: its folder, or for the files at the top
    # the trace list (with the trace memory it keeps) and the main window (with
    # main() and what only main() uses).
    function unit(path) {
        if (index(path, "/"))
            return substr(path, 1, index(path, "/") - 1)
        if (path ~ /^(tracelist|tracememory)\./)
            return "tracelist"
        return "mainwindow"
    }
    {
        file = $0; sub(/^\.\//, "", file); sub(/:.*/, "", file)
        rest = $0; sub(/^[^:]*:/, "", rest); line = rest; sub(/:.*/, "", line)
        header = rest; sub(/^[^"]*"/, "", header); sub(/".*/, "", header)
        # Generated forms and library headers are not files under app/.
        if (!(header in exists))
            next
        from = unit(file); to = unit(header)
        if (from == to)
            next
        if (!(from in level)) {
            print "app/" file ": the folder " from " has no place in the layer order"
            broken = 1
        } else if (!(to in level) || level[to] >= level[from]) {
            print "app/" file ":" line ": " from " includes " header ", of " to ", which is not below it"
            broken = 1
        }
    }
    END {
        if (broken) {
            print "The layers, from the ground up: settings, algos, device, traces, dataproviders, plot and widgets,"
            print "measurements, report, the trace list, analysis, the main window. Move what a lower folder needs"
            print "down to its level, or hand it in from above."
            exit 1
        }
    }'
