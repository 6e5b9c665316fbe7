#!/usr/bin/env bash
# Installs what is missing, builds ZEPHOR (Release) and starts the editor with the arguments:
#   ./run.sh [sculpt map, OBJ or XML file]
#   BUILD_DIR  build folder (default: build, inside the source folder)
# A file named with a relative path is found from the folder run.sh was started in.
#
# CMake configures the build folder only when it has no build yet; after that the build itself
# runs CMake again whenever a build file changed, so an unchanged tree starts at once. The
# configure step reports warnings and errors only (no notes about optional packages).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-build}
[[ "$build" = /* ]] || build="$root/$build"
(
  cd "$root"
  bash scripts/install-deps.sh
  if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_MESSAGE_LOG_LEVEL=WARNING
  fi
  cmake --build "$build" -j "$(nproc)" --target zephor Polyhedron
)
exec "$build/bin/zephor" "$@"
