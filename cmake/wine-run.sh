#!/usr/bin/env bash
# Runs a program of the Windows cross build under Wine: the CMAKE_CROSSCOMPILING_EMULATOR of
# cmake/mingw-w64-x86_64.cmake, which ctest puts before every test of that build.
#   wine-run.sh <qt-bin-folder> <program.exe> [arguments...]
# Qt's DLLs are found in <qt-bin-folder> (unless WINEPATH is set). A Wine program's standard
# output is caught in a file and printed after it ends: QtTest writes nothing into a pipe.
set -uo pipefail
qt_bin=$1
shift
if [ -z "${WINEPATH:-}" ] && [ -d "$qt_bin" ]; then
    export WINEPATH="Z:${qt_bin//\//\\}"
fi
export WINEDEBUG=${WINEDEBUG:--all}
output=$(mktemp)
trap 'rm -f "$output"' EXIT
wine "$@" >"$output" 2>&1
status=$?
tr -d '\r' <"$output"
exit "$status"
