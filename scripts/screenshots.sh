#!/bin/sh
# Pictures of the main window for a look by eye: each language, narrow and wide.
# Usage: scripts/screenshots.sh            (uses and builds ./build)
#        BUILD_DIR=build-x scripts/screenshots.sh
# Writes $BUILD_DIR/screens/<english|gb|big5>-<narrow|wide>.png. Needs xvfb, xdotool, imagemagick.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/${BUILD_DIR:-build}"

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug
fi
cmake --build "$build" --target quorvane-tools -j2

if [ -z "${QV_IN_XVFB:-}" ]; then
    QV_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

screens="$build/screens"
mkdir -p "$screens"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT

XDG_CONFIG_HOME="$config" "$build/quorvane-tools" &
program=$!

window=$(xdotool search --sync --onlyvisible --name "Quorvane" | head -n 1)

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
