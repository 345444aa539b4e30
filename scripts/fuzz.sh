#!/usr/bin/env bash
# Fuzzes the reply path (transaction, field accessor, every reply decoder) with libFuzzer under
# address and undefined-behaviour sanitizers, for a bounded time.
#   scripts/fuzz.sh [seconds]     default 60
# Builds into build-fuzz/ with the system's clang; the corpus grows in build-fuzz/corpus/reply.
set -euo pipefail
seconds="${1:-60}"
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_GUI=OFF -DBUILD_TESTING=OFF -DQV_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_reply -j2

# Seeds: 4 bytes clock start, 1 byte pacing, then what the line delivers.
corpus="$build/corpus/reply"
mkdir -p "$corpus"
seed() { printf "$2" >"$corpus/seed-$1"; }
seed identity '\x00\x00\x00\x00\x01\nA01B1234567800\r'
seed identity-wrap '\xf0\xff\xff\xff\x01\nA01B1234567800\r'
seed poll-tag '\x00\x00\x00\x00\x08\nA00I10953CE044A7A5B325XX\r'
seed version '\x00\x00\x00\x00\x01\nA00V1.02-03XX\r'
seed smallest '\x00\x00\x00\x00\x01\n0A\r'
seed zero-byte '\x00\x00\x00\x00\x01\nA\x00B09\r'
seed noise '\x00\x00\x00\x00\x01 \nA01B1234567800\r'
seed relays '\x00\x00\x00\x00\x02\nA00R07FA0000XX\r'

"$build/fuzz_reply" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
