#!/usr/bin/env bash
# Cross-builds the Windows programs from Debian 12 into build-windows/ and runs the Windows tests
# under Wine against the simulator: COM1 is a simulated reader, COM2 a silent one, COM3 to COM16
# lead nowhere. Installs what it needs (scripts/setup.sh windows).
#
# The Qt kit for MinGW is taken from QV_QT_MINGW_KIT (default ../shared/qt6-mingw beside the
# repository). Without it only the Qt-free programs are built and tested.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
started=$(date +%s)
scripts/setup.sh windows

kit=${QV_QT_MINGW_KIT:-$root/../shared/qt6-mingw}
if [ -d "$kit/lib/cmake" ]; then
    kit=$(cd "$kit" && pwd)
    gui=ON
else
    echo "No Qt kit for MinGW at $kit: building and testing only the Qt-free Windows programs"
    kit=
    gui=OFF
fi

echo "== simulator (Linux)"
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja >/dev/null
fi
ninja -C build -j2 quorvane-sim

echo "== cross build for Windows"
out=build-windows
cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQV_QT_MINGW_KIT="${kit:-none}" -DQV_GUI="$gui" >/dev/null
targets=(bench_com)
link_tests=()
shell_tests=()
if [ -n "$kit" ]; then
    link_tests=(tst_frame tst_transaction tst_comm_open tst_commands tst_replies tst_win32_serial
        tst_win32_port_overrides tst_win32_port_list)
    shell_tests=(tst_startup tst_messages tst_traffic_log tst_tag_history tst_main_window)
    targets+=("${link_tests[@]}" "${shell_tests[@]}" quorvane-tools)
fi
has_cli=0
if grep -q '^quorvane-cli' <(ninja -C "$out" -t targets all 2>/dev/null | sed 's/: .*//'); then
    has_cli=1
    targets+=(quorvane-cli)
fi
ninja -C "$out" -j2 "${targets[@]}"

echo "== Wine"
export WINEPREFIX=$root/$out/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
windows_path() { echo "Z:${1//\//\\}"; }
if [ -n "$kit" ]; then
    # Qt's DLLs; Qt finds its plugins beside them.
    export WINEPATH
    WINEPATH=$(windows_path "$kit/bin")
fi
wineserver -k 2>/dev/null || true # one left running by a run that was cut short
ports=$root/$out/com
mkdir -p "$ports"
rm -f "$ports"/COM*
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix (once)"
    wineboot -i >"$out/wineboot.log" 2>&1
fi
# Wine rewrites links under dosdevices when it starts, from this registry key: every COM number
# leads into $ports, where only the numbers the tests use get a link to a simulator.
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 1 16); do printf '"COM%d"="%s/COM%d"\r\n' "$n" "$ports" "$n"; done
} >"$ports/ports.reg"
wine regedit /S "$(windows_path "$ports/ports.reg")"
wineserver -w
# One server for the whole run: a cold start costs seconds per program.
wineserver -p </dev/null >"$out/wineserver.log" 2>&1

sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# Starts a simulator with the given options and links COM<n> to its terminal.
start_simulator() {
    local n=$1 log=$out/sim-com$1.txt
    shift
    build/quorvane-sim "$@" >"$log" 2>"$out/sim-com$n.log" &
    sims+=($!)
    for _ in $(seq 1 100); do
        # The whole first line: a path cut short would name its folder.
        if [ "$(wc -l <"$log")" -ge 1 ]; then
            ln -sfn "$(head -n 1 "$log")" "$ports/COM$n"
            return
        fi
        sleep 0.05
    done
    echo "the simulator for COM$n did not start" >&2
    exit 1
}
start_simulator 1 --tags 0000000000BC614E --tag-interval 200
start_simulator 2 --fault silent

# Cases that test Linux's ground rather than the program's, left out under Wine:
# - the settings store as an INI file: on Windows the store is the registry (QSettings' own part);
# - text widths and drawn pixels: Qt's offscreen platform under Wine measures in a fallback face,
#   not in the fonts a Windows machine has;
# - the Chinese columns in their code pages: the MinGW Qt kit has no GB2312 or Big5 codec (the
#   program keeps its texts in UTF-8 and needs none).
not_under_wine=(
    languageButtonStoresAndReappliesTheLanguage storedIndexSelectsTheLineSetting
    everyTextFitsItsControl statusLinesClearTheLamp controlsDrawWithTheirDesignedFontsAndColours
    chineseColumnsEncodeInTheirCodePages
)

failed=()
# Runs a QtTest program under Wine with its output in a file (a pipe would lose it), every test
# function but those in not_under_wine.
run_qtest() {
    local name=$1 result=$out/$1.txt functions
    shift
    (cd "$out" && timeout 60 wine "$name.exe" -functions >"$name.functions" 2>/dev/null) || true
    mapfile -t functions < <(tr -d '\r' <"$out/$name.functions" | sed -n 's/()$//p' |
        grep -vxF -f <(printf '%s\n' "${not_under_wine[@]}"))
    if (cd "$out" && timeout 120 env "$@" wine "$name.exe" -o "$name.txt,txt" "${functions[@]}" \
        >/dev/null 2>&1); then
        echo "PASS $name: $(grep '^Totals' "$result")"
    else
        failed+=("$name")
        echo "FAIL $name"
        grep -A3 '^FAIL' "$result" 2>/dev/null || echo "  (no output)"
        grep '^Totals' "$result" 2>/dev/null || true
    fi
}

echo "== link tests"
for t in "${link_tests[@]}"; do
    run_qtest "$t" QV_TEST_COM=1 QV_TEST_SILENT_COM=2 QV_TEST_MISSING_COM=3
done

echo "== window tests (offscreen)"
wine reg delete 'HKCU\Software\Velmora' /f >/dev/null 2>&1 || true # a store of a run before
for t in "${shell_tests[@]}"; do
    # Wine keeps QT_* variables from Windows programs; WINEQT_* reach them as QT_*.
    run_qtest "$t" WINEQT_QPA_PLATFORM=offscreen
done

if [ -n "$kit" ]; then
    # The program itself: it must come up and keep running (a missing DLL or plugin ends it).
    set +e
    (cd "$out" && WINEQT_QPA_PLATFORM=offscreen timeout 5 wine quorvane-tools.exe >/dev/null 2>&1)
    code=$?
    set -e
    if [ "$code" = 124 ]; then
        echo "PASS quorvane-tools.exe ran until stopped"
    else
        failed+=(quorvane-tools)
        echo "FAIL quorvane-tools.exe ended by itself with status $code"
    fi
fi

# Runs quorvane-cli.exe with its output in $out/cli.txt; checks the exit status and that the
# output holds a text (when one is given).
cli() {
    local expect_status=$1 expect_text=$2 status
    shift 2
    set +e
    (cd "$out" && timeout 60 env -u WINEPATH wine quorvane-cli.exe "$@" >cli.txt 2>&1)
    status=$?
    set -e
    if [ "$status" = "$expect_status" ] &&
        { [ -z "$expect_text" ] || grep -q -- "$expect_text" "$out/cli.txt"; }; then
        echo "PASS quorvane-cli $*"
    else
        failed+=("quorvane-cli $*")
        echo "FAIL quorvane-cli $* (status $status, expected $expect_status and \"$expect_text\")"
        sed 's/^/  /' "$out/cli.txt"
    fi
}

if [ "$has_cli" = 1 ]; then
    echo "== quorvane-cli"
    cli 0 QV000001 info --port COM1
    cli 0 "" set same-card 25 --port COM1
    cli 0 25 get same-card --port COM1
    cli 0 BC614E watch --port COM1 --count 2
    if [ "$(grep -c BC614E "$out/cli.txt")" != 2 ]; then
        failed+=("quorvane-cli watch: two tags")
        echo "FAIL quorvane-cli watch --count 2 printed other than two tags"
    fi
    cli 1 "" info --port COM2
    cli 3 "" info --port COM3
    # An override in the registry, where the window's settings store keeps it, leads COM5 to COM1.
    ports_key='HKCU\Software\Velmora\Quorvane_Tools\Ports'
    wine reg add "$ports_key" /v COM5 /t REG_SZ /d COM1 /f >/dev/null 2>&1
    cli 0 QV000001 info --port COM5
    wine reg delete "$ports_key" /v COM5 /f >/dev/null 2>&1
fi

echo "== an identity transaction, Windows under Wine and Linux, same simulator"
# Without Qt's DLLs on the path: the Qt-free programs carry their runtime inside.
(cd "$out" && env -u WINEPATH wine bench_com.exe --port 1 --count 200 >bench_com.txt 2>&1) ||
    failed+=(bench_com)
sed 's/^/  wine:  /' "$out/bench_com.txt"
if ninja -C build -j2 bench_com >/dev/null; then
    build/bench_com --port 1 --device "$(readlink "$ports/COM1")" --count 200 | sed 's/^/  linux: /'
fi

echo "== $(($(date +%s) - started)) s"
if [ ${#failed[@]} -ne 0 ]; then
    echo "failed: ${failed[*]}"
    exit 1
fi
echo "all Windows tests passed"
