#!/usr/bin/env bash
# Fuzzes what comes in from outside with libFuzzer under address and undefined-behaviour
# sanitizers, for a bounded time in all: the reply path (transaction, field accessor, every reply
# decoder) two fifths of it, the Telnet / RFC 2217 receive parser of network ports, the gateway's
# MQTT command decoder and its configuration reader a fifth each.
#   scripts/fuzz.sh [seconds]     default 60
# Builds into build-fuzz/ with the system's clang; the corpora grow in build-fuzz/corpus/.
set -euo pipefail
seconds="${1:-60}"
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_GUI=OFF -DBUILD_TESTING=OFF -DQV_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_reply fuzz_telnet fuzz_gateway_command fuzz_gateway_config -j2
reply_seconds=$((seconds * 2 / 5))
telnet_seconds=$((seconds / 5))
command_seconds=$((seconds / 5))
config_seconds=$((seconds - reply_seconds - telnet_seconds - command_seconds))

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

# Seeds: 1 byte (odd: set, even: get), then the payload a client publishes.
corpus="$build/corpus/gateway-command"
mkdir -p "$corpus"
seed set '\x01{"rssi": 120, "do1": "on", "mode": {"rs485": "40", "wiegand": "w34"}}'
seed relays '\x01{"relays": {"rl1": {"enabled": true, "key": false, "mo": false, "time": 10}, "rl2": {"enabled": false, "key": true, "mo": false, "time": 250}}}'
seed get '\x00["rssi", "mode", "id"]'
seed all '\x00"all"'
"$build/fuzz_gateway_command" -max_total_time="$command_seconds" -print_final_stats=1 "$corpus"

# Seeds: configurations as an operator writes them.
corpus="$build/corpus/gateway-config"
mkdir -p "$corpus"
seed full 'mqtt:\n  server: mqtt://127.0.0.1:1883\n  base_topic: quorvane\nstore:\n  max_reads: 100\nhomeassistant:\n  discovery: false\nreaders:\n  gate-1:\n    port: COM3\n    settings: 19200,e,8,1\n  dock:\n    port: rfc2217://[::1]:4001\n'
seed flow '{mqtt: {server: "mqtts://h"}, readers: {a: {port: usb:0403:6001}}}'
"$build/fuzz_gateway_config" -max_total_time="$config_seconds" -print_final_stats=1 "$corpus"
