#!/bin/sh
# Builds and runs every test: the normal build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Release build
# with the tests, then a short fuzz pass. OPS_WERROR=ON (as CI sets it)
# turns compiler warnings into errors.
set -e
cd "$(dirname "$0")/.."
sh scripts/deps.sh
jobs="$(nproc)"
werror="-DOPS_WERROR=${OPS_WERROR:-OFF}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOPS_BUILD_TESTS=ON "$werror" >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DOPS_SANITIZE=ON -DOPS_BUILD_TESTS=ON "$werror" >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs")

# Release optimises harder and warns differently: it must build, tests too.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DOPS_BUILD_TESTS=ON "$werror" >/dev/null
cmake --build build-release -j"$jobs"
(cd build-release && ctest --output-on-failure -j"$jobs")

if [ -x scripts/fuzz.sh ]; then
    sh scripts/fuzz.sh short
fi
echo "all tests passed"
