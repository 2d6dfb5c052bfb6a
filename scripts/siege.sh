#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Attacks the built program from another host on every port it has and prints, per attack, a
# table of the figures that must hold (remote-call p99, signal-to-exit time, peak RSS, paced
# tallies lost, requests per command, script runs, log bytes written, ...) beside a plain
# reflector's where one applies. Needs root (or sudo); not part of the test command.
#
# Two network namespaces of our own, joined by a veth pair, make the world: the program on host A
# (10.214.0.1/16), the attacker on host B (10.214.0.2 and .3 as tally source, peers, relay box and
# graphics servers; .4 as the victim whose address others fake). Faked senders use other addresses
# of 10.214.0.0/16. Nothing leaves the two namespaces; both are deleted at the end, on Ctrl-C too.
#
# Usage: scripts/siege.sh [--quick] [--only N[,M...]]
#   --quick      shorter attacks (each table says how long it ran)
#   --only 1,4   only attacks 1 and 4 (numbered as in the table titles)
# BRENVALE_SIEGE_BUILD_DIR names the build folder (default build); BRENVALE_SIEGE_KEEP=1 keeps
# the work folder (each attack's HOME, daily logs, program output and tap) for a look. Exit code: 0 when every
# figure met its target, 1 when some did not, 2 when the siege could not run.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BRENVALE_SIEGE_BUILD_DIR:-$root/build}
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) args+=(--quick) ;;
        --only) [ $# -ge 2 ] || { echo "siege: --only needs a list" >&2; exit 2; }; args+=(--only "$2"); shift ;;
        -h|--help) sed -n '4,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "siege: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "${args[@]}"

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! output=$(cmake --build "$build" --target brenvale_siege -j4 2>&1); then
    echo "$output" >&2
    exit 2
fi
if [ ! -x "$build/bench/brenvale-siege" ]; then
    echo "siege: the siege was not built; it needs libdbus-1 (apt-get install libdbus-1-dev)" >&2
    exit 2
fi

a=brvsiegeA$$
b=brvsiegeB$$
work=$(mktemp -d "${TMPDIR:-/tmp}/brenvale-siege.XXXXXX")
cleanup() {
    # Everything still running in our namespaces is ours: the driver, the bus, the program and
    # what it started.
    for ns in "$a" "$b"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -9 "$pid" 2>/dev/null || true
        done
    done
    sleep 0.2
    ip netns del "$a" 2>/dev/null || true
    ip netns del "$b" 2>/dev/null || true
    if [ "${BRENVALE_SIEGE_KEEP:-}" = "1" ]; then
        echo "siege: the work folder is kept: $work" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$a"
ip netns add "$b"
ip -n "$a" link add sgA type veth peer name sgB netns "$b"
ip -n "$a" link set lo up
ip -n "$b" link set lo up
ip -n "$a" addr add 10.214.0.1/16 dev sgA
for host in 2 3 4; do
    ip -n "$b" addr add "10.214.0.$host/16" dev sgB
done
ip -n "$a" link set sgA up
ip -n "$b" link set sgB up
ip -n "$a" route add 224.0.0.0/4 dev sgA
ip -n "$b" route add 224.0.0.0/4 dev sgB
# Faked sources must reach the program, and its answers to the victim must not wait on ARP.
ip netns exec "$a" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.sgA.rp_filter=0
ip -n "$a" neigh replace 10.214.0.4 lladdr "$(ip netns exec "$b" cat /sys/class/net/sgB/address)" dev sgA \
    nud permanent

# A bundle copy whose playout script marks each run.
cp -a "$build/Brenvale.app" "$work/"
printf '#!/bin/sh\necho play >> %s\n' "'$work/play-starts'" >"$work/Brenvale.app/Contents/Resources/Play.scpt"
chmod 0755 "$work/Brenvale.app/Contents/Resources/Play.scpt"

ip netns exec "$b" dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" \
    >"$work/dbus.log" 2>&1 &
disown
for _ in $(seq 200); do
    [ -S "$work/bus" ] && break
    sleep 0.01
done
group=$(ip netns exec "$b" env QT_QPA_PLATFORM=offscreen "$build/bench/brenvale-bench-group" Brenvale)

status=0
ip netns exec "$b" timeout --foreground --kill-after=10 3600 "$build/bench/brenvale-siege" \
    --program "$work/Brenvale.app/Contents/MacOS/Brenvale" \
    --tap "$build/bench/brenvale-siege-tap.so" \
    --reflector "$build/bench/brenvale-bench-reflector" \
    --netns "/run/netns/$a" --work "$work" --bus "unix:path=$work/bus" --group "$group" \
    --play-marker "$work/play-starts" --program-address 10.214.0.1 --driver-address 10.214.0.2 \
    --backup-address 10.214.0.3 --victim-address 10.214.0.4 "${args[@]}" || status=$?
exit "$status"
