#!/usr/bin/env bash
# Installs what is missing, builds ZEPHOR (Release) and starts the editor with the arguments:
#   ./run.sh [sculpt map, OBJ or XML file]
#   BUILD_DIR  build folder (default: build, inside the source folder)
# A file named with a relative path is found from the folder run.sh was started in.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-build}
[[ "$build" = /* ]] || build="$root/$build"
(
  cd "$root"
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
  cmake --build "$build" -j "$(nproc)" --target zephor Polyhedron
)
exec "$build/bin/zephor" "$@"
