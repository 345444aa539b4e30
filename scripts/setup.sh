#!/usr/bin/env bash
# Installs what building, running and testing need on a fresh Debian 12 or 13 machine (package
# names that both releases have: the unversioned clang is clang 14 on 12 and clang 19 on 13).
# `setup.sh windows` adds the cross build for Windows, Wine to run it and NSIS for its setup
# (scripts/test-windows.sh).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev libasound2-dev
    libcli11-dev nlohmann-json3-dev
    fonts-wqy-microhei fonts-liberation2
    xvfb xauth xdotool imagemagick
    clang libclang-rt-dev
    desktop-file-utils appstream dpkg-dev file
    debootstrap
    ser2net
    libmosquitto-dev mosquitto mosquitto-clients libsqlite3-dev libyaml-cpp-dev libsystemd-dev
)
if [ "${1:-}" = windows ]; then
    packages+=(g++-mingw-w64-x86-64-posix qt6-base-dev-tools wine wine64 nsis icoutils unzip)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
