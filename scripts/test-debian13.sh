#!/usr/bin/env bash
# Builds and tests Quorvane Tools on Debian 13 (trixie) in a chroot, from a Debian 12 machine:
# the set-up packages, the build with warnings as errors, the tests, the end-to-end test in a
# virtual X server, and the Debian package built here (the oldest release) installed there, each
# program answering --version.
#
# The chroot is made once with debootstrap and kept, with its compiler cache, in
# $QV_CHROOT_CACHE (default /var/cache/quorvane-tools/trixie); a later run reuses it and builds it
# anew only when it is missing or broken. The source tree is mounted read-only inside; the build
# folder is made afresh each run. Needs root (debootstrap, chroot, mount) and the network for
# Debian's mirror on the first run.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."
src=$(pwd)

if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then
        exec sudo --preserve-env=QV_CHROOT_CACHE,QV_DEBIAN_MIRROR,CI "$self" "$@"
    fi
    echo "scripts/test-debian13.sh needs root (debootstrap, chroot, mount)" >&2
    exit 1
fi
# Mounts go into a mount namespace of their own: nothing mounted here can outlive the run or
# reach the host's /dev, whichever way the run ends. The trap below unmounts as well.
if [ -z "${QV_IN_NAMESPACE:-}" ]; then
    QV_IN_NAMESPACE=1 exec unshare --mount --propagation private "$self" "$@"
fi

suite=trixie
mirror=${QV_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${QV_CHROOT_CACHE:-/var/cache/quorvane-tools}/$suite
root=$cache/root
ready=$root/.quorvane-tools-ready
started=$(date +%s)
stage_started=$started
stage() {
    local now
    now=$(date +%s)
    echo "   ($((now - stage_started)) s)"
    stage_started=$now
    echo "== $*"
}

command -v debootstrap >/dev/null || scripts/setup.sh

mounts=()
cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" 2>/dev/null || true
    done
    mounts=()
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mount_in() { # mount_in TARGET MOUNT-ARGS...
    mkdir -p "$root$1"
    mount "${@:2}" "$root$1"
    mounts+=("$root$1")
}
in_chroot() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        DEBIAN_FRONTEND=noninteractive CCACHE_DIR=/var/cache/ccache "$@"
}

echo "== Debian 13 chroot in $root"
healthy() {
    [ -f "$ready" ] && chroot "$root" /bin/true 2>/dev/null &&
        [ -z "$(chroot "$root" dpkg --audit 2>&1)" ]
}
if [ -d "$root" ] && ! healthy; then
    if findmnt -rn -o TARGET | grep -q "^$root"; then
        echo "something is mounted under $root; not removing it" >&2
        exit 1
    fi
    echo "the chroot is incomplete or broken: making it anew"
    rm -rf "$root"
fi
if [ ! -d "$root" ]; then
    mkdir -p "$cache/debs"
    debootstrap --variant=minbase --cache-dir="$cache/debs" "$suite" "$root" "$mirror"
    in_chroot apt-get install -y --no-install-recommends ccache
    touch "$ready"
else
    echo "reusing it"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in /proc -t proc proc
mount_in /sys --rbind /sys
mount_in /dev --rbind /dev
mount_in /src --bind "$src"
mount -o remount,bind,ro "$root/src"
mkdir -p "$root/var/cache/ccache"

stage "set-up packages"
in_chroot /src/scripts/setup.sh
in_chroot apt-get clean

stage "build with warnings as errors ($(in_chroot sh -c 'g++ --version | head -1'))"
in_chroot rm -rf /var/tmp/build
in_chroot cmake -S /src -B /var/tmp/build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_WERROR=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
in_chroot cmake --build /var/tmp/build -j"$(nproc)"

stage "desktop entry and metainfo against Debian 13's validators"
in_chroot desktop-file-validate /src/dist/com.velmora.QuorvaneTools.desktop
in_chroot appstreamcli validate --no-net /var/tmp/build/dist/com.velmora.QuorvaneTools.metainfo.xml

stage "tests"
in_chroot ctest --test-dir /var/tmp/build --output-on-failure -j"$(nproc)" -LE e2e

stage "end-to-end test in a virtual X server"
in_chroot ctest --test-dir /var/tmp/build --output-on-failure -L e2e

stage "Debian package, built here on $(. /etc/os-release && echo "$PRETTY_NAME")"
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -j"$(nproc)" --target package >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
deb=quorvane-tools_${version}_$(dpkg --print-architecture).deb
test -s "build/$deb"
echo "build/$deb"

stage "the package installed on Debian 13"
cp "build/$deb" "$root/var/tmp/$deb"
in_chroot apt-get install -y "/var/tmp/$deb" >/dev/null
failures=0
for program in quorvane-tools quorvane-cli quorvane-sim quorvane-gateway; do
    out=$(in_chroot "/usr/bin/$program" --version 2>&1) || true
    if [ "$out" = "$program $version" ]; then
        echo "ok   /usr/bin/$program --version"
    else
        echo "FAIL /usr/bin/$program --version printed: $out"
        failures=$((failures + 1))
    fi
done
in_chroot apt-get purge -y --autoremove quorvane-tools >/dev/null
rm -f "$root/var/tmp/$deb"
in_chroot rm -rf /var/tmp/build

stage "done"
if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "Debian 13 checks passed in $(($(date +%s) - started)) s"
