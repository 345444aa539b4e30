#!/usr/bin/env bash
# Sets up, builds and runs Quorvane Tools.
#   scripts/run.sh            with the reader simulator attached as COM1 while the program runs
#   scripts/run.sh --reader   with a real reader: the program alone
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

if [ "${1:-}" = "--reader" ]; then
    exec build/quorvane-tools
fi

com="${QV_SIM_COM:-1}"
sim_out=$(mktemp)
build/quorvane-sim --com "$com" --tags 0000000000BC614E,00000000075BCD15 --tag-interval 1500 >"$sim_out" &
sim_pid=$!
stop_sim() {
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    rm -f "$sim_out"
}
trap stop_sim EXIT
# The simulator prints its device path once it is mapped.
for _ in $(seq 50); do
    [ -s "$sim_out" ] && break
    sleep 0.1
done
echo "Reader simulator on COM$com ($(head -n 1 "$sim_out"))"
build/quorvane-tools
