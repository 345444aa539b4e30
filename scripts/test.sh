#!/usr/bin/env bash
# Sets up a fresh Debian 12 or 13 machine and runs every check: the tests under address and
# undefined-behaviour sanitizers, a bounded fuzz run, the build with warnings as errors and its
# tests (the end-to-end test in a virtual X server included), the build without the window, the
# Windows cross build under Wine, and the installed tree and Debian package; in CI (CI set) also
# the build, tests and package on Debian 13 (scripts/test-debian13.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
scripts/setup.sh windows
jobs=$(nproc)
# The compiler cache keys on paths relative to the checkout, so a fresh clone in another folder
# reuses what an earlier run on this machine compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true

echo "== sanitizer build and tests"
cmake --preset sanitizers >/dev/null
cmake --build --preset sanitizers -j"$jobs"
ctest --preset sanitizers -j"$jobs"

echo "== fuzzing the reply path"
scripts/fuzz.sh "${QV_FUZZ_SECONDS:-60}"

echo "== build and tests"
QV_WERROR=ON scripts/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== build without the window (the Qt-free programs)"
cmake --preset nogui -DQV_WERROR=ON >/dev/null
cmake --build --preset nogui -j"$jobs"

echo "== Windows cross build, tested under Wine"
scripts/test-windows.sh

echo "== installed tree and Debian package"
scripts/test-install.sh

# In CI, as root: the same build, tests and package on Debian 13, in a chroot kept between runs.
if [ -n "${CI:-}" ]; then
    echo "== Debian 13"
    scripts/test-debian13.sh
fi

echo "all checks passed in $(( $(date +%s) - started )) s"
