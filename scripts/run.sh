#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Installs what is missing, builds, and starts Brenvale Control on this machine's own network:
# meant for the playout machine. On a development machine use scripts/netns-run.sh or
# scripts/demo.sh, which keep everything inside private network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
exec build/Brenvale.app/Contents/MacOS/Brenvale
