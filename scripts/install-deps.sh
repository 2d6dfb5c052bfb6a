#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Installs what building, running and testing Brenvale Control needs on Debian 12.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    fonts-jetbrains-mono fonts-urw-base35 fonts-dejavu-core
    iproute2 util-linux dbus-daemon dbus-bin libglib2.0-bin
    # libFuzzer and the sanitizer runtimes; llvm brings llvm-symbolizer for readable reports
    clang libclang-rt-14-dev llvm
    # the format check of the test command
    clang-format
    # HTTP to the graphics servers
    libcurl4-openssl-dev
    # the benchmark's D-Bus client
    libdbus-1-dev
    # the siege's real X input: a virtual X server and xdotool
    xvfb xdotool
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
