#!/usr/bin/env bash
# Checks that the program's folders build on each other from the ground up:
# a file under app/ includes headers of its own folder and of folders below it,
# never of a folder above it or beside it on the same level. Prints every
# include that breaks the order and fails when there is one.
#
# An include is resolved as the compiler resolves it: a quoted one relative to
# the including file first, then from app/ (which is on the include path); one
# in angle brackets from app/. A form's custom widgets count as includes of the
# form's folder too, since uic writes their headers into the generated ui_*.h.
#
#   tools/check-layers.sh [source folder]     (default: the checkout holding this script)
set -euo pipefail

root=${1:-"$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"}
cd "$root/app"

files=$(mktemp)
trap 'rm -f "$files"' EXIT
find . -type f | sed 's#^\./##' | sort >"$files"

# Every include line of every source file and every custom widget header of
# every form, as "path:line:text", with the list of files to tell an app/
# header from a generated one or a library header.
{
    find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' \) \
        -print0 | sort -z | xargs -0 grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' /dev/null || true
    find . -type f -name '*.ui' -print0 | sort -z | xargs -0 grep -nE '<header[^>]*>' /dev/null || true
} |
    awk -v files="$files" -v app="$(pwd -P)" '
    BEGIN {
        # The layers, from the ground up; folders on one level leave each other alone.
        n = split("settings algos device traces dataproviders plot widgets measurements report tracelist analysis mainwindow", names, " ")
        split("0 1 2 3 4 5 5 6 7 8 9 10", levels, " ")
        for (i = 1; i <= n; ++i)
            level[names[i]] = levels[i] + 0
        while ((getline f < files) > 0)
            exists[f] = 1
    }
    # An absolute path with "." and ".." taken out, made relative to app/;
    # empty when it lies outside app/.
    function normal(path,    parts, stack, count, i, kept, out) {
        count = split(path, parts, "/")
        kept = 0
        for (i = 1; i <= count; ++i) {
            if (parts[i] == "" || parts[i] == ".")
                continue
            if (parts[i] == "..") {
                if (kept == 0)
                    return ""
                --kept
                continue
            }
            stack[++kept] = parts[i]
        }
        out = ""
        for (i = 1; i <= kept; ++i)
            out = out "/" stack[i]
        if (substr(out, 1, length(app) + 1) != app "/")
            return ""
        return substr(out, length(app) + 2)
    }
    # The app/ file an include names, or empty for a generated form or a
    # library header.
    function resolve(file, header, quoted,    dir, path) {
        dir = file
        if (!sub(/\/[^\/]*$/, "", dir))
            dir = ""
        if (quoted) {
            path = normal(app "/" dir "/" header)
            if (path != "" && (path in exists))
                return path
        }
        path = normal(app "/" header)
        return (path != "" && (path in exists)) ? path : ""
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
        text = rest; sub(/^[^:]*:/, "", text)
        if (file ~ /\.ui$/) {
            # uic writes the header into ui_*.h, generated outside app/:
            # only the include path finds it.
            header = text; sub(/^[^<]*<header[^>]*>[[:space:]]*/, "", header); sub(/[[:space:]]*<.*/, "", header)
            quoted = 0
        } else {
            directive = text; sub(/^[[:space:]]*#[[:space:]]*include[[:space:]]*/, "", directive)
            quoted = substr(directive, 1, 1) == "\""
            header = substr(directive, 2)
            if (quoted)
                sub(/".*/, "", header)
            else
                sub(/>.*/, "", header)
        }
        target = resolve(file, header, quoted)
        if (target == "")
            next
        from = unit(file); to = unit(target)
        if (from == to)
            next
        if (!(from in level)) {
            print "app/" file ": the folder " from " has no place in the layer order"
            broken = 1
        } else if (!(to in level) || level[to] >= level[from]) {
            print "app/" file ":" line ": " from " includes " header " (app/" target "), of " to ", which is not below it"
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
