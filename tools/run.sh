#!/usr/bin/env bash
# Sets up, builds and starts the program in the current folder (its settings.ini
# and logs/ are kept there). Only the program is built, into ./build-run; the
# tests and benchmarks are left to tools/test.sh. Extra arguments go to the
# program, for example "-platform offscreen" on a machine without a display.
set -euo pipefail
here=$PWD
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
cd "$here"
exec "$root/build-run/vantor" "$@"
