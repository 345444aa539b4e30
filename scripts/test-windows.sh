#!/usr/bin/env bash
# Cross-builds the Windows programs from Debian 12 into build-windows/ (the `windows` preset), runs
# the tests labelled `windows` under Wine against the simulator (COM1 a simulated reader, COM2 a
# silent one, COM3 to COM16 lead nowhere), then makes the Windows packages, checks their static
# facts, and installs, runs and uninstalls them in a fresh Wine prefix. Installs what it needs
# (scripts/setup.sh windows).
#
# The Qt kit for MinGW is taken from QV_QT_MINGW_KIT (default ../shared/qt6-mingw beside the
# repository). Without it only the Qt-free programs are built and tested, and no package is made.
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
    cmake --preset default >/dev/null
fi
ninja -C build -j2 quorvane-sim

echo "== cross build for Windows"
out=build-windows
cmake --preset windows -DQV_QT_MINGW_KIT="${kit:-none}" -DQV_GUI="$gui" >/dev/null
cmake --build --preset windows -j2

failed=()
fail() {
    failed+=("$1")
    echo "FAIL $1"
}
pass() { echo "PASS $1"; }

echo "== static facts of the Windows programs"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
# subsystem: 2 a GUI program, 3 a console program.
check_subsystem() {
    local exe=$1 expected=$2 got
    got=$(x86_64-w64-mingw32-objdump -p "$out/$exe" | awk '$1 == "Subsystem" {print $2 + 0}')
    if [ "$got" = "$expected" ]; then pass "$exe: subsystem $got"; else fail "$exe: subsystem $got, not $expected"; fi
}
# The icon group (type 14), the version information (16) with the project's version, and the
# manifest (24) with its UTF-8 code page and DPI awareness.
check_resources() {
    local exe=$out/$1 types manifest
    types=$(wrestool -l "$exe" | sed -n 's/.*--type=\([0-9]*\).*/\1/p' | sort -un | tr '\n' ' ')
    manifest=$(wrestool -x --raw -t 24 "$exe")
    if [[ " $types" == *" 14 "* && " $types" == *" 16 "* && " $types" == *" 24 "* ]] &&
        wrestool -x --raw -t 16 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\0' |
        grep -aq "ProductVersion$version" &&
        grep -q '<activeCodePage[^>]*>UTF-8<' <<<"$manifest" &&
        grep -q 'PerMonitorV2' <<<"$manifest" && grep -q 'Common-Controls' <<<"$manifest"; then
        pass "$1: icon, version $version, manifest (resource types $types)"
    else
        fail "$1: resources (types $types)"
    fi
}
if [ -n "$kit" ]; then
    check_subsystem quorvane-tools.exe 2
    check_resources quorvane-tools.exe
fi
check_subsystem quorvane-cli.exe 3
check_resources quorvane-cli.exe

echo "== Wine"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
windows_path() { echo "Z:${1//\//\\}"; }
ports=$root/$out/com
mkdir -p "$ports"
rm -f "$ports"/COM*
# Wine rewrites links under dosdevices when it starts, from this registry key: every COM number
# leads into $ports, where only the numbers the tests use get a link to a simulator.
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 1 16); do printf '"COM%d"="%s/COM%d"\r\n' "$n" "$ports" "$n"; done
} >"$ports/ports.reg"
# Makes the Wine prefix $WINEPREFIX when it is new and leads its COM ports into $ports.
prepare_prefix() {
    wineserver -k 2>/dev/null || true # one left running by a run that was cut short
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix $WINEPREFIX"
        wineboot -i >"$WINEPREFIX.log" 2>&1
    fi
    wine regedit /S "$(windows_path "$ports/ports.reg")"
    wineserver -w
}
export WINEPREFIX=$root/$out/wineprefix
prepare_prefix
# One server for the tests: a cold start costs seconds per program.
wineserver -p </dev/null >>"$WINEPREFIX.log" 2>&1

sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    WINEPREFIX=$root/$out/wineprefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$root/$out/package-prefix wineserver -k 2>/dev/null || true
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

echo "== tests labelled windows (ctest under Wine)"
wine reg delete 'HKCU\Software\Velmora' /f >/dev/null 2>&1 || true # a store of a run before
if ! QV_TEST_COM=1 QV_TEST_SILENT_COM=2 QV_TEST_MISSING_COM=3 \
    ctest --preset windows >"$out/ctest.txt" 2>&1; then
    fail "ctest -L windows"
fi
grep -E '^ *[0-9]+/[0-9]+ Test|tests passed|tests failed' "$out/ctest.txt" | sed 's/^ */  /'

# Runs a Windows program with its output in $out/run.txt; checks the exit status and that the
# output holds a text (when one is given). The program is the first argument, a path under $out.
run() {
    local expect_status=$1 expect_text=$2 program=$3 status
    shift 3
    set +e
    (cd "$out" && timeout 60 env -u WINEPATH wine "$program" "$@" >run.txt 2>&1)
    status=$?
    set -e
    if [ "$status" = "$expect_status" ] &&
        { [ -z "$expect_text" ] || grep -q -- "$expect_text" "$out/run.txt"; }; then
        pass "$(basename "${program//\\//}") $*"
    else
        fail "$(basename "${program//\\//}") $* (status $status, expected $expect_status and \"$expect_text\")"
        sed 's/^/  /' "$out/run.txt"
    fi
}
# The window program must show its window on the Windows platform, in a virtual X server, with
# no WINEPATH and no Qt variables: the DLLs and the platform plugin can come from its folder alone.
window_shows() {
    local program=$1 title
    # Wine's desktop process keeps the display of the program that started it: a fresh one here.
    wineserver -k 2>/dev/null || true
    title=$(cd "$out" && timeout 60 xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        env -u WINEPATH wine "$1" >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 1 60); do
            id=$(xdotool search --name "^Quorvane Tools" 2>/dev/null | head -n 1)
            if [ -n "$id" ]; then
                xdotool getwindowname "$id"
                break
            fi
            sleep 0.5
        done
        kill "$pid"' _ "$program" 2>/dev/null) || true
    wineserver -k 2>/dev/null || true
    if [ -n "$title" ]; then
        pass "$(basename "${program//\\//}") showed its window \"$title\""
    else
        fail "$(basename "${program//\\//}") showed no window"
    fi
}
echo "== quorvane-cli"
cli=quorvane-cli.exe
run 0 QV000001 $cli info --port COM1
run 0 "" $cli set same-card 25 --port COM1
run 0 25 $cli get same-card --port COM1
run 0 BC614E $cli watch --port COM1 --count 2
if [ "$(grep -c BC614E "$out/run.txt")" != 2 ]; then
    fail "quorvane-cli watch --count 2 printed other than two tags"
fi
run 1 "" $cli info --port COM2
run 3 "" $cli info --port COM3
# An override in the registry, where the window's settings store keeps it, leads COM5 to COM1.
ports_key='HKCU\Software\Velmora\Quorvane_Tools\Ports'
wine reg add "$ports_key" /v COM5 /t REG_SZ /d COM1 /f >/dev/null 2>&1
run 0 QV000001 $cli info --port COM5
wine reg delete "$ports_key" /v COM5 /f >/dev/null 2>&1
# A path in Chinese, through the narrow command line and file calls (the manifest's UTF-8).
chinese=$root/$out/读卡器
rm -rf "$chinese"
mkdir -p "$chinese"
run 0 "" $cli backup "$(windows_path "$chinese")\\备份.json" --port COM1
if [ -s "$chinese/备份.json" ]; then pass "backup wrote 读卡器/备份.json"; else fail "no 读卡器/备份.json"; fi
run 0 "" $cli restore "$(windows_path "$chinese")\\备份.json" --port COM1

# The network device (Winsock) against ser2net on the Linux loopback, in front of a simulator of
# its own: RFC 2217 with the settings negotiated, raw TCP with ser2net's own settings.
if command -v ser2net >/dev/null || [ -x /usr/sbin/ser2net ]; then
    echo "== quorvane-cli through ser2net (Winsock)"
    build/quorvane-sim --settings 38400,e,8,1 >"$out/sim-net.txt" 2>/dev/null &
    sims+=($!)
    for _ in $(seq 1 100); do [ -s "$out/sim-net.txt" ] && break; sleep 0.05; done
    listening() { (: <"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
    net=$((20000 + RANDOM % 20000))
    while listening "$net" || listening $((net + 1)) || listening $((net + 2)); do net=$((net + 3)); done
    printf 'connection: &rfc2217\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%d\n  connector: serialdev,%s,9600n81,local\nconnection: &raw\n  accepter: tcp,127.0.0.1,%d\n  connector: serialdev,%s,38400e81,local\n' \
        "$net" "$(head -n 1 "$out/sim-net.txt")" $((net + 1)) "$(head -n 1 "$out/sim-net.txt")" >"$out/ser2net.yaml"
    PATH=$PATH:/usr/sbin ser2net -n -c "$out/ser2net.yaml" 2>/dev/null &
    sims+=($!)
    for _ in $(seq 1 100); do listening $((net + 1)) && break; sleep 0.05; done
    run 0 QV000001 $cli info --port "rfc2217://127.0.0.1:$net" --settings 38400,e,8,1
    sleep 1 # ser2net refuses the line to its other accepter until it has closed it
    run 0 QV000001 $cli info --port "tcp://127.0.0.1:$((net + 1))" --settings 38400,e,8,1
    sleep 1
    run 1 "" $cli info --port "rfc2217://127.0.0.1:$net" --settings 19200,e,8,1
    run 3 "refused" $cli info --port "rfc2217://127.0.0.1:$((net + 2))"
fi

echo "== an identity transaction, Windows under Wine and Linux, same simulator"
# Without Qt's DLLs on the path: the Qt-free programs carry their runtime inside.
(cd "$out" && env -u WINEPATH wine bench_com.exe --port 1 --count 200 >bench_com.txt 2>&1) ||
    fail bench_com
sed 's/^/  wine:  /' "$out/bench_com.txt"
if ninja -C build -j2 bench_com >/dev/null; then
    build/bench_com --port 1 --device "$(readlink "$ports/COM1")" --count 200 | sed 's/^/  linux: /'
fi
wineserver -k

if [ -n "$kit" ]; then
    echo "== packages"
    rm -f "$out"/quorvane-tools-*-win64*
    cpack --preset windows >"$out/cpack.log" 2>&1 || fail cpack
    setup=$out/quorvane-tools-$version-win64-setup.exe
    zip=$out/quorvane-tools-$version-win64.zip
    for f in "$setup" "$zip"; do
        if [ -f "$f" ]; then
            echo "  $(basename "$f"): $(stat -c %s "$f") bytes"
        else
            fail "no $(basename "$f")"
        fi
    done

    echo "== the setup in a fresh Wine prefix"
    export WINEPREFIX=$root/$out/package-prefix
    rm -rf "$WINEPREFIX" "$WINEPREFIX.log"
    prepare_prefix
    user_dir=$WINEPREFIX/drive_c/users/$(whoami)
    app_dir=$user_dir/AppData/Local/Programs/Quorvane\ Tools
    shortcut=$user_dir/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Quorvane\ Tools.lnk
    uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane Tools'
    settings_key='HKCU\Software\Velmora\Quorvane_Tools'
    installed="C:\\users\\$(whoami)\\AppData\\Local\\Programs\\Quorvane Tools"
    # Under /S the setup exits 0 even when it fails: the results are checked instead. No lasting
    # server in this prefix: `wineserver -w` waits until every program there has ended.
    install_silently() {
        wine "$(windows_path "$root/$setup")" /S >/dev/null 2>&1 || true
        wineserver -w
    }
    # The uninstaller copies itself away and returns at once; the server ends when it has.
    uninstall_silently() {
        wine "$installed\\Uninstall.exe" /S "$@" >/dev/null 2>&1 || true
        wineserver -w
    }
    key_has() { wine reg query "$1" 2>/dev/null | tr -d '\r' | grep -q -- "$2"; }
    install_silently
    for f in quorvane-tools.exe quorvane-cli.exe Qt6Core.dll libstdc++-6.dll platforms/qwindows.dll \
        styles/qwindowsvistastyle.dll Uninstall.exe; do
        [ -f "$app_dir/$f" ] || fail "installed: no $f"
    done
    [ -f "$app_dir/quorvane-tools.exe" ] && pass "installed into %LOCALAPPDATA%\\Programs\\Quorvane Tools"
    run 0 "quorvane-tools $version" "$installed\\quorvane-tools.exe" --version
    run 0 QV000001 "$installed\\quorvane-cli.exe" info --port COM1
    window_shows "$installed\\quorvane-tools.exe"
    if [ -f "$shortcut" ]; then pass "Start-menu shortcut"; else fail "no Start-menu shortcut"; fi
    if key_has "$uninstall_key" "DisplayVersion.*$version" && key_has "$uninstall_key" "Publisher.*Velmora" &&
        key_has "$uninstall_key" 'DisplayIcon.*quorvane-tools.exe'; then
        pass "uninstall entry: version $version, publisher, icon"
    else
        fail "uninstall entry"
    fi

    # The settings survive an uninstall unless their removal is asked for.
    wine reg add "$settings_key" /v LanguageFlag /t REG_SZ /d ChineseGB /f >/dev/null 2>&1
    uninstall_silently
    left=$(cd "$user_dir" && find . -ipath '*quorvane*' 2>/dev/null | head -5)
    if [ -z "$left" ] && ! key_has "$uninstall_key" DisplayName; then
        pass "uninstalled: no files, no shortcut, no uninstall entry"
    else
        fail "left after the uninstall: ${left:-the uninstall entry}"
    fi
    if key_has "$settings_key" ChineseGB; then pass "settings kept"; else fail "settings removed"; fi
    install_silently
    uninstall_silently /REMOVESETTINGS
    if [ ! -d "$app_dir" ] && ! key_has "$settings_key" LanguageFlag; then
        pass "uninstall /REMOVESETTINGS removed the settings"
    else
        fail "uninstall /REMOVESETTINGS"
    fi

    echo "== the zip, unpacked"
    unpacked=$root/$out/unpacked
    rm -rf "$unpacked"
    mkdir -p "$unpacked"
    (cd "$unpacked" && unzip -q "$root/$zip")
    portable=$(windows_path "$unpacked/quorvane-tools-$version-win64")
    run 0 "quorvane-tools $version" "$portable\\quorvane-tools.exe" --version
    run 0 QV000001 "$portable\\quorvane-cli.exe" info --port COM1
    window_shows "$portable\\quorvane-tools.exe"
fi

echo "== $(($(date +%s) - started)) s"
if [ ${#failed[@]} -ne 0 ]; then
    echo "failed: ${failed[*]}"
    exit 1
fi
echo "all Windows tests passed"
