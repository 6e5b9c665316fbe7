#!/usr/bin/env bash
# Installs what is missing, builds ZEPHOR and runs every test.
#   BUILD_DIR   build folder (default: build)
#   BUILD_TYPE  CMake build type (default: Release)
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
# ccache keys on paths relative to the work tree, so a fresh clone in another folder (as CI makes)
# reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
build=${BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "$@"
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 600
