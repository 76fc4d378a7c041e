#!/usr/bin/env bash
# tools/check-layers.sh on scratch copies of app/: the tree as it is passes,
# and each way of reaching a header of a higher folder fails, naming the file
# and the header it reaches. A header of its own folder, of a lower one or of
# a library passes however it is written.
#
#   tests/tools/check-layers-cases.sh [source folder]
set -euo pipefail

source_dir=${1:-"$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"}
check="$source_dir/tools/check-layers.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

# A fresh copy of app/ in the scratch folder, then the change given as a
# shell command run inside it.
fresh() {
    rm -rf "$scratch/app"
    cp -r "$source_dir/app" "$scratch/app"
    (cd "$scratch/app" && eval "$1")
}

# expect pass|fail NAME CHANGE [TEXT the failure must print]
expect() {
    local want=$1 name=$2 change=$3 text=${4:-}
    fresh "$change"
    local out rc=0
    out=$(bash "$check" "$scratch" 2>&1) || rc=$?
    if [[ $want == pass && $rc -ne 0 ]]; then
        echo "FAIL $name: the check failed on a tree that keeps the order:"
        echo "$out"
        failed=1
    elif [[ $want == fail && $rc -eq 0 ]]; then
        echo "FAIL $name: the check passed"
        failed=1
    elif [[ $want == fail && -n $text && $out != *"$text"* ]]; then
        echo "FAIL $name: the failure does not name \"$text\":"
        echo "$out"
        failed=1
    else
        echo "PASS $name"
    fi
}

expect pass "the tree as it is" ":"
expect fail "a folder path from app/" \
    "echo '#include \"analysis/contouranalisiswidget.h\"' >>measurements/dxffit.cpp" \
    "app/measurements/dxffit.cpp"
expect fail "a path relative to the file" \
    "echo '#include \"../analysis/contouranalisiswidget.h\"' >>measurements/dxffit.cpp" \
    "(app/analysis/contouranalisiswidget.h)"
expect fail "a path that leaves app/ and comes back" \
    "echo '#include \"./../../app/analysis/contouranalisiswidget.h\"' >>measurements/dxffit.cpp" \
    "(app/analysis/contouranalisiswidget.h)"
expect fail "angle brackets" \
    "echo '#  include <analysis/contouranalisiswidget.h>' >>measurements/dxffit.h" \
    "app/measurements/dxffit.h"
expect fail "a file at the top reaching the main window" \
    "echo '#include \"mainwindow.h\"' >>tracelist.cpp" \
    "app/tracelist.cpp"
expect fail "a folder beside its own" \
    "echo '#include \"../widgets/loader.h\"' >>plot/plotwidget.cpp" \
    "(app/widgets/loader.h)"
expect fail "a form's custom widget" \
    "sed -i 's#<header>widgets/editablelist.h</header>#<header>analysis/panelfiltercontrol.h</header>#' widgets/usersdialog.ui" \
    "app/widgets/usersdialog.ui"
expect fail "a form's custom widget with a global header" \
    "sed -i 's#<header>widgets/editablelist.h</header>#<header location=\"global\">measurements/measurementtreewidget.h</header>#' widgets/usersdialog.ui" \
    "app/widgets/usersdialog.ui"
expect pass "its own folder, a lower one, a library, a generated form" \
    "echo '#include \"loader.h\"' >>widgets/editablelist.cpp
     echo '#include \"../tracelist.h\"' >>analysis/panelfiltercontrol.cpp
     echo '#include <settings/settings.h>' >>plot/plotwidget.cpp
     echo '#include <sys/socket.h>' >>plot/plotwidget.cpp
     echo '#include \"ui_nosuchform.h\"' >>plot/plotwidget.cpp"

exit $failed
