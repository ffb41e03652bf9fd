#!/bin/sh
# Runs one libFuzzer target for as long as asked:
#   sh scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# TARGET is landscape, catalogue, calendar, time_window or number_text (a
# fuzz_ prefix is accepted). Builds the targets in build-fuzz with clang, then
# fuzzes on a working corpus in build-fuzz/fuzz-work/TARGET that starts from
# the seeds in tests/fuzz/corpus/TARGET and grows from run to run; the seeds
# in the repository are only read. A crash, leak, sanitizer report or broken
# invariant stops the run with a non-zero status and leaves its reproducer in
# build-fuzz/fuzz-work/TARGET/artifacts; replay it with
#   build-fuzz/tests/fuzz/fuzz_TARGET REPRODUCER
# SISMAP_FUZZ_BUILD names another build folder instead of build-fuzz.
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
    echo "usage: sh scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
    echo "targets: $(ls tests/fuzz/corpus | tr '\n' ' ')" >&2
    exit 2
fi
name=${1#fuzz_}
seconds=$2
shift 2
if [ ! -d "tests/fuzz/corpus/$name" ]; then
    echo "no fuzz target named '$name'; targets: $(ls tests/fuzz/corpus | tr '\n' ' ')" >&2
    exit 2
fi

scripts/install-deps.sh
build=${SISMAP_FUZZ_BUILD:-build-fuzz}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSISMAP_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "fuzz_$name" -j"$(nproc)"

work="$build/fuzz-work/$name"
mkdir -p "$work/corpus" "$work/artifacts"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    LSAN_OPTIONS=suppressions=$PWD/tests/lsan_geos.supp "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "tests/fuzz/corpus/$name"
