#!/bin/sh
# Builds everything and runs the main job: `ophost demo` on built-in inputs.
set -e
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DOPS_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/bin/ophost demo "$@"
