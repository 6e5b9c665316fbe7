#!/usr/bin/env bash
# Installs what is missing, builds ZEPHOR (Release) and starts the editor with the arguments:
#   ./run.sh [sculpt map, OBJ or XML file]
#   BUILD_DIR  build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)" --target zephor Polyhedron
exec "$build/bin/zephor" "$@"
