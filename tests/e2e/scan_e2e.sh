#!/usr/bin/env bash
# Runs inside an X server. Starts the simulator mapped as COM1, starts the program, clicks
# Scan Reader at its designed place, and expects the store to hold COM1 and the link lamp to be
# yellow. Then clicks Exit and expects the program to end with status 0.
set -euo pipefail
build="$1"
work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
store="$XDG_CONFIG_HOME/Velmora/Quorvane_Tools.conf"

sim_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill -TERM "$sim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$store" ] && { echo "store:" >&2; cat "$store" >&2; }
    exit 1
}

"$build/quorvane-sim" --com 1 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && grep -q 'COM1' "$store" 2>/dev/null && break
    sleep 0.1
done
[ -s "$work/sim.out" ] || fail "the simulator printed no device path"

"$build/quorvane-tools" &
app_pid=$!
wid=""
for _ in $(seq 200); do
    wid=$(xdotool search --onlyvisible --name 'Quorvane Tools V0232' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
done
[ -n "$wid" ] || fail "no window"
sleep 0.5

# btnScan: left 8, top 78, 345 x 43; click its middle.
xdotool mousemove --window "$wid" 180 99 click 1

ok=""
for _ in $(seq 200); do
    if grep -q '^ScanCommNo=1$' "$store" 2>/dev/null; then
        ok=1
        break
    fi
    sleep 0.1
done
[ -n "$ok" ] || fail "the store does not hold ScanCommNo=1"

# The lamp shComm sits inside pnMsg (8, 4) at (310, 8), 23 x 20: its middle is (329, 22).
colour=""
for _ in $(seq 50); do
    colour=$(import -window "$wid" png:- | convert png:- -format '%[pixel:p{329,22}]' info:)
    case "$colour" in
    yellow | "srgb(255,255,0)") break ;;
    esac
    sleep 0.1
done
case "$colour" in
yellow | "srgb(255,255,0)") ;;
*) fail "lamp colour is $colour, not yellow" ;;
esac

# btnExit: left 360, top 480, 225 x 41.
xdotool mousemove --window "$wid" 472 500 click 1
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after Exit"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "PASS: found on COM1, lamp yellow, exit status 0"
