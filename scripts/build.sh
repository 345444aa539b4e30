#!/usr/bin/env bash
# Configures and builds the program, the simulator and the tests into build/.
# QV_WERROR=ON turns warnings into errors; unset, the folder keeps what it was configured with.
set -euo pipefail
cd "$(dirname "$0")/.."
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ -n "${QV_WERROR:-}" ]; then
    options+=(-DQV_WERROR="$QV_WERROR")
fi
cmake -S . -B build -G Ninja "${options[@]}" >/dev/null
cmake --build build -j"$(nproc)"
