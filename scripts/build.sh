#!/usr/bin/env bash
# Configures and builds the program, the simulator and the tests into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR="${QV_WERROR:-OFF}" >/dev/null
cmake --build build -j"$(nproc)"
