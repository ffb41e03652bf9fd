#!/bin/sh
# Installs what is missing, builds sismap and runs every test: the unit tests,
# the same unit tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# the end-to-end tests of the real window under a virtual X server, and a
# few seconds of each libFuzzer target on its seed corpus.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs=$(nproc)

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSISMAP_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

# libFuzzer targets (clang), a few seconds each; scripts/fuzz.sh runs longer.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSISMAP_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz --target sismap_fuzz_targets -j"$jobs"
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j"$jobs"
