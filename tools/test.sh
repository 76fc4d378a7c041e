#!/usr/bin/env bash
# Sets up and builds the program with its tests, then runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --tests
export LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)
cd build
ctest --output-on-failure -j "$jobs"
