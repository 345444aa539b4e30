#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every check: the build with warnings as errors, the
# tests under address and undefined-behaviour sanitizers, a bounded fuzz run, and the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

echo "== sanitizer build and tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE e2e

echo "== fuzzing the reply path"
scripts/fuzz.sh "${QV_FUZZ_SECONDS:-60}"

echo "== build and tests"
QV_WERROR=ON scripts/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"
