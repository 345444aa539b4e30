#!/usr/bin/env bash
# Runs a program of the Windows cross build under Wine: the CMAKE_CROSSCOMPILING_EMULATOR of
# cmake/mingw-w64-x86_64.cmake, which ctest puts before every test of that build.
#   wine-run.sh <qt-bin-folder> <program.exe> [arguments...]
# Qt's DLLs are found in <qt-bin-folder> (unless WINEPATH is set). A Wine program's standard
# output comes out cut short: a QtTest log the arguments name (-o FILE,txt) is printed after the
# program ends.
set -uo pipefail
qt_bin=$1
shift
if [ -z "${WINEPATH:-}" ] && [ -d "$qt_bin" ]; then
    export WINEPATH="Z:${qt_bin//\//\\}"
fi
export WINEDEBUG=${WINEDEBUG:--all}
log=
args=("$@")
for ((i = 1; i + 1 < ${#args[@]}; i++)); do
    if [ "${args[i]}" = -o ] && [[ "${args[i + 1]}" == *,txt ]]; then
        log=${args[i + 1]%,txt}
    fi
done
[ -z "$log" ] || rm -f "$log"
wine "$@"
status=$?
[ -z "$log" ] || tr -d '\r' <"$log" 2>/dev/null
exit "$status"
