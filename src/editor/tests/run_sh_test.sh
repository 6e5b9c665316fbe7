#!/usr/bin/env bash
# run.sh configures CMake only when the build folder has no build yet, quietly (warnings and
# errors only), builds the program and starts it with the arguments. CMake and the program are
# stand-ins here that record how they were called.
#   run_sh_test.sh <source folder>
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/fake" "$work/build/bin"
cat > "$work/fake/cmake" <<FAKE
#!/usr/bin/env bash
echo "cmake \$*" >> "$work/calls"
if [[ "\$1" == "-S" ]]; then touch "$work/build/build.ninja"; fi
FAKE
cat > "$work/build/bin/zephor" <<FAKE
#!/usr/bin/env bash
echo "zephor \$*" >> "$work/calls"
FAKE
chmod +x "$work/fake/cmake" "$work/build/bin/zephor"
run() { PATH="$work/fake:$PATH" BUILD_DIR="$work/build" bash "$src/run.sh" "$@" > /dev/null; }
fail() { echo "FAILED: $*"; cat "$work/calls"; exit 1; }

# No build yet: one quiet configure, then the build, then the program.
run a.tga
[[ $(grep -c -- "^cmake -S" "$work/calls") == 1 ]] || fail "no build: expected one configure"
grep -q -- "^cmake -S .* -DCMAKE_MESSAGE_LOG_LEVEL=WARNING" "$work/calls" || fail "the configure step is not quiet"
grep -q -- "^cmake --build $work/build" "$work/calls" || fail "no build step"
grep -q -- "^zephor a.tga$" "$work/calls" || fail "the program did not start with its argument"

# A build exists: no configure (the build re-runs CMake itself when a build file changed).
: > "$work/calls"
run
grep -q -- "^cmake -S" "$work/calls" && fail "configured although a build exists"
grep -q -- "^cmake --build" "$work/calls" || fail "no build step"
echo "run.sh: configures only without a build"
