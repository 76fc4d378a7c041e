#!/usr/bin/env bash
# Sets up, builds and starts the program. Extra arguments go to the program
# (for example "-platform offscreen" on a machine without a display).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
export LANG=C.UTF-8 LC_ALL=C.UTF-8
exec build/vantor "$@"
