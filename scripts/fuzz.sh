#!/usr/bin/env bash
# Fuzzes what comes in from outside with libFuzzer under address and undefined-behaviour
# sanitizers, for a bounded time in all: the reply path (transaction, field accessor, every reply
# decoder) two thirds of it, the Telnet / RFC 2217 receive parser of network ports the rest.
#   scripts/fuzz.sh [seconds]     default 60
# Builds into build-fuzz/ with the system's clang; the corpora grow in build-fuzz/corpus/.
set -euo pipefail
seconds="${1:-60}"
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_GUI=OFF -DBUILD_TESTING=OFF -DQV_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_reply fuzz_telnet -j2
reply_seconds=$((seconds * 2 / 3))
telnet_seconds=$((seconds - reply_seconds))

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

"$build/fuzz_reply" -max_total_time="$reply_seconds" -print_final_stats=1 "$corpus"

# Seeds: 1 byte piece size, then what a server sends (the greeting and replies of ser2net 4.3).
corpus="$build/corpus/telnet"
mkdir -p "$corpus"
seed greeting '\x00\xff\xfb\x03\xff\xfd\x03\xff\xfb\x01\xff\xfe\x01\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c'
seed baud-reply '\x02\xff\xfa\x2c\x65\x00\x00\x96\x00\xff\xf0\nA01B1234567800\r'
seed doubled-ff '\x00\nA\xff\xff\xff\xfa\x2c\x70\x03\xff\xf0\r'
"$build/fuzz_telnet" -max_total_time="$telnet_seconds" -print_final_stats=1 "$corpus"
