#!/usr/bin/env bash
# Installs Quorvane Tools the way a user gets it and checks the result: the tree `cmake --install`
# makes (programs, desktop entry, AppStream metainfo, icons, documents), then the Debian package,
# built and installed with the install command the README gives, its programs run from /usr/bin
# with no display, and removed again so the machine is left as it was. Reuses build/ when it is
# configured. Needs root or sudo (apt-get).
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in desktop-file-utils appstream dpkg-dev file; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

echo "== build"
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
if ! grep -q '^QV_GUI:BOOL=ON$' build/CMakeCache.txt; then
    echo "build/ is configured without the window program (QV_GUI=OFF)" >&2
    exit 1
fi
cmake --build build -j"$(nproc)" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
app=com.velmora.QuorvaneTools
programs=(quorvane-tools quorvane-sim)
for p in quorvane-cli quorvane-gateway; do
    if [ -x build/$p ]; then
        programs+=("$p")
    fi
done
echo "version $version, programs ${programs[*]}"

work=$(mktemp -d)
installed_here=false
cleanup() {
    if $installed_here; then
        "${sudo[@]}" apt-get remove -y quorvane-tools >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
# check WHAT COMMAND...: runs the command quietly; on failure shows its output and counts it.
check() {
    local what=$1
    shift
    if "$@" >"$work/out" 2>&1; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        sed 's/^/     /' "$work/out"
        failures=$((failures + 1))
    fi
}
is_program() { file -b "$1" | grep -q '^ELF .* executable'; }
is_png_of_size() { file -b "$1" | grep -q "^PNG image data, $2 x $2,"; }
# The program's first line of output, run with no display and no Qt platform set.
answers() {
    local out
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" --version)
    [ "$out" = "$(basename "$1") $version" ] || { echo "$1 --version printed: $out"; return 1; }
}
# NAME FILE...: all given files are in the package's list of files.
in_package() {
    local list
    list=$(dpkg -L quorvane-tools)
    for f in "$@"; do
        grep -qx "$f" <<<"$list" || { echo "not in the package: $f"; return 1; }
    done
}

echo "== cmake --install into a temporary DESTDIR"
root="$work/root"
DESTDIR="$root" cmake --install build --prefix /usr >/dev/null
for p in "${programs[@]}"; do
    check "bin/$p is a program" is_program "$root/usr/bin/$p"
done
desktop="$root/usr/share/applications/$app.desktop"
metainfo="$root/usr/share/metainfo/$app.metainfo.xml"
check "desktop entry passes desktop-file-validate" desktop-file-validate "$desktop"
check "desktop entry names its icon $app" grep -qx "Icon=$app" "$desktop"
check "metainfo passes appstreamcli validate" appstreamcli validate --no-net "$metainfo"
check "metainfo names release $version" grep -q "<release version=\"$version\"" "$metainfo"
icons="$root/usr/share/icons/hicolor"
check "scalable icon" grep -q '<svg' "$icons/scalable/apps/$app.svg"
for size in 16 22 24 32 48 64 128 256; do
    check "icon ${size}x$size" is_png_of_size "$icons/${size}x$size/apps/$app.png" "$size"
done
docs=$root/usr/share/doc/quorvane-tools
for doc in README.md README.Debian copyright changelog.gz; do
    check "doc/quorvane-tools/$doc" test -s "$docs/$doc"
done
# The changelog's top entry is this release, on the metainfo's date.
changelog_names_release() {
    gzip -dc "$docs/changelog.gz" >"$work/changelog"
    local top day
    top=$(dpkg-parsechangelog -l "$work/changelog" -S Version)
    day=$(date -u -d "$(dpkg-parsechangelog -l "$work/changelog" -S Date)" +%F)
    [ "$top" = "$version" ] || { echo "top entry $top, release $version"; return 1; }
    grep -q "<release version=\"$version\" date=\"$day\"" "$metainfo" ||
        { echo "changelog dated $day, not the metainfo's release date"; return 1; }
}
check "changelog.gz names release $version" changelog_names_release
if [ -x build/quorvane-gateway ]; then
    unit="$root/usr/lib/systemd/system/quorvane-gateway.service"
    notify_with_watchdog() {
        grep -qxF "Type=notify" "$unit" && grep -qxF "WatchdogSec=30" "$unit"
    }
    check "the gateway's unit is a notify service with a watchdog" notify_with_watchdog
    # The example configuration names no reader: the service waits until it is configured.
    gateway_waits() {
        ! build/quorvane-gateway --check --config "$root/etc/quorvane/gateway.yaml" 2>"$work/check"
        grep -q "readers" "$work/check"
    }
    check "the example configuration starts nothing until configured" gateway_waits
fi

if dpkg-query -W -f='${Status}' quorvane-tools 2>/dev/null | grep -q "install ok installed"; then
    echo "quorvane-tools is installed already; not replacing it" >&2
    exit 1
fi
installed_packages() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' | sort; }
installed_packages >"$work/before"

echo "== Debian package, built and installed with the README's install command"
command=$(awk '/^## Installing/ { section = 1 } section && /^```sh$/ { inside = 1; next }
               inside && /^```$/ { exit } inside' README.md)
[ -n "$command" ] || { echo "README.md: no install command under \"Installing\"" >&2; exit 1; }
sed 's/^/     /' <<<"$command"
# As root the command must not need sudo, which a machine may not have.
mkdir "$work/no-sudo"
printf '#!/bin/sh\necho "sudo: command not found" >&2\nexit 127\n' >"$work/no-sudo/sudo"
chmod +x "$work/no-sudo/sudo"
path=$PATH
if [ "$(id -u)" -eq 0 ]; then
    path=$work/no-sudo:$PATH
fi
installed_here=true
PATH=$path bash -c "set -e; $command" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
deb=build/quorvane-tools_${version}_$(dpkg --print-architecture).deb
check "the command built $deb" test -s "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Debian 13 names the libraries with 64-bit time libqt6core6t64 and libasound2t64.
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libasound2 qt6-qpa-plugins fonts-wqy-microhei; do
    check "depends on $dep" grep -qE "(^|[ ,|])$dep(t64)?([ ,|]|\$)" <<<"$depends"
done
for p in "${programs[@]}"; do
    check "/usr/bin/$p --version without a display" answers "/usr/bin/$p"
done
check "package holds the desktop entry, metainfo and icon" in_package \
    "/usr/share/applications/$app.desktop" "/usr/share/metainfo/$app.metainfo.xml" \
    "/usr/share/icons/hicolor/48x48/apps/$app.png" /usr/share/doc/quorvane-tools/README.Debian \
    /usr/share/doc/quorvane-tools/copyright /usr/share/doc/quorvane-tools/changelog.gz

if [ -x build/quorvane-gateway ]; then
    check "package holds the gateway's unit and configuration" in_package \
        /usr/lib/systemd/system/quorvane-gateway.service /etc/quorvane/gateway.yaml
    check "the gateway's configuration is a conffile" \
        sh -c "dpkg-deb --ctrl-tarfile '$deb' | tar -xO ./conffiles | grep -qx /etc/quorvane/gateway.yaml"
    # Verified where it is installed: the unit names the program by its installed path.
    if command -v systemd-analyze >/dev/null; then
        check "systemd-analyze verify accepts the installed unit" \
            systemd-analyze verify /lib/systemd/system/quorvane-gateway.service
    fi
    check "the service's user exists, in dialout" sh -c "id -nG quorvane-gateway | grep -qw dialout"
    check "the configuration is not everyone's to read" \
        sh -c "[ \"\$(stat -c %a:%G /etc/quorvane/gateway.yaml)\" = 640:quorvane-gateway ]"
fi

echo "== apt-get remove quorvane-tools"
"${sudo[@]}" apt-get remove -y quorvane-tools >/dev/null 2>&1
installed_here=false
# Whatever apt pulled in for the package goes too.
installed_packages >"$work/after"
added=$(comm -13 "$work/before" "$work/after")
if [ -n "$added" ]; then
    # shellcheck disable=SC2086 # one package name per word
    "${sudo[@]}" apt-get purge -y $added >/dev/null 2>&1
fi
installed_packages >"$work/after"
check "packages as before" cmp -s "$work/before" "$work/after"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all install checks passed"
