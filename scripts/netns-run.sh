#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Runs a command inside a private network namespace whose only interface is loopback, with
# multicast routed to it, so that nothing the command sends can leave the machine.
# As root the namespace is a plain one (the cross-host tests then build their own hosts);
# otherwise a user namespace maps us to root inside it.
set -euo pipefail

if [ "${BRENVALE_IN_NETNS:-}" = "1" ]; then
    ip link set lo up
    ip link set lo multicast on
    ip route add 224.0.0.0/4 dev lo src 127.0.0.1 2>/dev/null || true
    exec "$@"
fi

export BRENVALE_IN_NETNS=1
if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net -- "$0" "$@"
else
    exec unshare --net --map-root-user -- "$0" "$@"
fi
