#!/usr/bin/env bash
# Installs what is missing, builds ZEPHOR and runs every test.
#   BUILD_DIR   build folder (default: build)
#   BUILD_TYPE  CMake build type (default: Release)
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
build=${BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "$@"
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 600
