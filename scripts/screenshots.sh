#!/bin/sh
# Pictures of the windows for a look by eye: the main window in each language, narrow and wide,
# the traffic and TAG history windows in each language after a scan and a moment of tag
# reading against the simulator, and the Ports window (this machine's ports, or those of the
# trees named by QV_SYSFS_ROOT and QV_DEV_ROOT).
# Usage: scripts/screenshots.sh            (uses and builds ./build)
#        BUILD_DIR=build-x scripts/screenshots.sh
# Writes $BUILD_DIR/screens/<english|gb|big5>-<narrow|wide|traffic|tags|ports|tooltip>.png.
# Needs xvfb, xdotool, imagemagick.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/${BUILD_DIR:-build}"

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug
fi
cmake --build "$build" --target quorvane-tools quorvane-sim -j2

if [ -z "${QV_IN_XVFB:-}" ]; then
    QV_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1900x1000x24" "$0" "$@"
fi

screens="$build/screens"
mkdir -p "$screens"
config=$(mktemp -d)
sim=
# The simulator puts the store's COM1 mapping back when it ends: let it, then remove the folder.
trap '[ -z "$sim" ] || { kill "$sim" 2>/dev/null; wait "$sim"; }; rm -rf "$config"' EXIT

# The simulated reader as COM1 of this run's own settings store, with two tags.
XDG_CONFIG_HOME="$config" "$build/quorvane-sim" --com 1 \
    --tags 0000000000BC614E,00000000075BCD15 --tag-interval 300 >"$config/sim.out" &
sim=$!

XDG_CONFIG_HOME="$config" "$build/quorvane-tools" &
program=$!

window=$(xdotool search --sync --onlyvisible --name "Quorvane" | head -n 1)
xdotool windowmove --sync "$window" 0 0

# Clicks at the centre of a control, given by its designed left, top, width and height in the
# window's client area (there is no window manager here, so the window is its client area).
click() {
    xdotool mousemove --window "$window" $(($1 + $3 / 2)) $(($2 + $4 / 2)) click 1
    sleep 0.5
}

shoot() {
    import -window "$window" "$screens/$1.png"
    echo "$screens/$1.png"
}

for language in english:359:448:90:24 gb:460:448:89:24 big5:560:448:89:24; do
    name=${language%%:*}
    set -- $(echo "${language#*:}" | tr ':' ' ')
    click "$1" "$2" "$3" "$4"      # the language button; it also narrows the window
    shoot "$name-narrow"
    click 592 478 57 43            # ">>"
    shoot "$name-wide"
done

# A scan finds the simulator on COM1; a moment of tag reading fills the tag history.
click 359 448 90 24                # English, so that the two windows open with English titles
click 8 78 345 43                  # Scan Reader
sleep 3
click 72 480 281 41                # Read TAG
sleep 2
click 72 480 281 41                # Cancel Read TAG
sleep 1

# F2 and F3 open the two windows; they are placed right of the main window and below.
xdotool windowfocus --sync "$window" key F2
traffic=$(xdotool search --sync --onlyvisible --name "^Traffic$" | head -n 1)
xdotool windowmove --sync "$traffic" 960 0
xdotool windowfocus --sync "$window" key F3
tags=$(xdotool search --sync --onlyvisible --name "^TAG History$" | head -n 1)
xdotool windowmove --sync "$tags" 960 470
xdotool windowfocus --sync "$window" key F4
ports=$(xdotool search --sync --onlyvisible --name "^Ports$" | head -n 1)
xdotool windowmove --sync "$ports" 0 600
sleep 0.5

for language in english:359:448:90:24 gb:460:448:89:24 big5:560:448:89:24; do
    name=${language%%:*}
    set -- $(echo "${language#*:}" | tr ':' ' ')
    click "$1" "$2" "$3" "$4"      # the language button retitles the other windows too
    sleep 0.3
    import -window "$traffic" "$screens/$name-traffic.png" && echo "$screens/$name-traffic.png"
    import -window "$tags" "$screens/$name-tags.png" && echo "$screens/$name-tags.png"
    import -window "$ports" "$screens/$name-ports.png" && echo "$screens/$name-ports.png"
done

# The tooltip of the unlabelled lock box beside the line-settings list, in each language.
for language in english:359:448:90:24 gb:460:448:89:24 big5:560:448:89:24; do
    name=${language%%:*}
    set -- $(echo "${language#*:}" | tr ':' ' ')
    click "$1" "$2" "$3" "$4"
    xdotool mousemove --window "$window" 344 220
    sleep 1.5
    import -window root -crop 1100x140+0+190 "$screens/$name-tooltip.png"
    echo "$screens/$name-tooltip.png"
done

click 360 480 225 41               # Exit
for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
    echo "the window did not close through Exit" >&2
    kill "$program"
    exit 1
fi
status=0
wait "$program" || status=$?
echo "the program ended with $status"
exit "$status"
