#!/bin/sh
# Builds the libFuzzer targets with clang and the sanitizers, replays the
# kept regression inputs, and fuzzes each target for a bounded time.
#   sh scripts/fuzz.sh short        about 45 s a target, two at a time (CI)
#   sh scripts/fuzz.sh long SECONDS  each target for SECONDS
set -e
cd "$(dirname "$0")/.."
mode="${1:-short}"
seconds=45
[ "$mode" = long ] && seconds="${2:-600}"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DOPS_FUZZ=ON \
    -DOPS_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"

targets=$(ls build-fuzz/bin | grep '^fuzz_' || true)
[ -n "$targets" ] || { echo "no fuzz targets built" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
    t="$1"
    name="${t#fuzz_}"
    mkdir -p "$work/$name" "$work/artifacts-$name"
    seeds="fuzz/corpus/$name"
    mkdir -p "$seeds"
    # Inputs that once crashed must keep passing.
    if [ -d "fuzz/regressions/$name" ] && [ -n "$(ls "fuzz/regressions/$name")" ]; then
        "build-fuzz/bin/$t" fuzz/regressions/"$name"/* >"$work/$name.replay.log" 2>&1 || {
            echo "$t: a kept regression input fails again:" >&2
            tail -30 "$work/$name.replay.log" >&2
            return 1
        }
    fi
    quiet=""
    # These print a message per bad input on standard error; keep the log small.
    case "$name" in preset|zenvarth|editor) quiet="-close_fd_mask=2" ;; esac
    if ! "build-fuzz/bin/$t" "$work/$name" "$seeds" -max_total_time="$seconds" $quiet \
            -artifact_prefix="$work/artifacts-$name/" -print_final_stats=1 \
            >"$work/$name.log" 2>&1; then
        mkdir -p "fuzz/regressions/$name"
        cp "$work/artifacts-$name"/* "fuzz/regressions/$name/" 2>/dev/null || true
        echo "$t: FINDING (input kept in fuzz/regressions/$name):" >&2
        tail -40 "$work/$name.log" >&2
        return 1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$')
    echo "$t: ${runs:-?} executions, no finding"
}

failed=0
set -- $targets
while [ $# -gt 0 ]; do
    a="$1"; shift
    if [ $# -gt 0 ]; then
        b="$1"; shift
        run_one "$a" & pa=$!
        run_one "$b" & pb=$!
        wait $pa || failed=1
        wait $pb || failed=1
    else
        run_one "$a" || failed=1
    fi
done
[ $failed -eq 0 ] || { echo "fuzzing found problems" >&2; exit 1; }
echo "fuzzing: no findings"
