#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Builds the program and the benchmark (Release) and runs the benchmark between two private
# network namespaces joined by a veth pair: the program, later the floor reflectors, on host A
# (10.213.0.1); the driver on host B (10.213.0.2 and 10.213.0.3) as tally source, peer, relay box
# and both graphics servers. Prints one line per figure on standard output and stops by itself
# (a few minutes; --quick for a short trial run). Nothing it sends can leave the machine.
#
# Usage: scripts/bench.sh [--quick]
# BRENVALE_BENCH_BUILD_DIR overrides the build folder (default build-bench);
# BRENVALE_BENCH_DUMP names a folder for each tally run's latencies as CSV files.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BRENVALE_BENCH_BUILD_DIR:-$root/build-bench}

if [ "${BRENVALE_BENCH_INNER:-}" != "1" ]; then
    if ! output=$(cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF 2>&1); then
        echo "$output" >&2
        exit 1
    fi
    if ! output=$(cmake --build "$build" --target brenvale_bench -j"$(nproc)" 2>&1); then
        echo "$output" >&2
        exit 1
    fi
    if [ ! -x "$build/bench/brenvale-bench" ]; then
        echo "bench: the benchmark was not built; it needs libdbus-1 (apt-get install libdbus-1-dev)" >&2
        exit 1
    fi
    # Everything below runs in a namespace of its own, so even a mistake cannot send to the host's
    # networks.
    export BRENVALE_BENCH_INNER=1
    if [ "$(id -u)" -eq 0 ]; then
        exec unshare --net -- "$0" "$@"
    else
        exec unshare --net --map-root-user -- "$0" "$@"
    fi
fi

extra=()
[ "${1:-}" = "--quick" ] && extra+=(--quick)
if [ -n "${BRENVALE_BENCH_DUMP:-}" ]; then
    mkdir -p "$BRENVALE_BENCH_DUMP"
    extra+=(--dump-dir "$(cd "$BRENVALE_BENCH_DUMP" && pwd)")
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/brenvale-bench.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Two hosts: each namespace is held open by a sleeping process of its own.
unshare --net -- sleep infinity &
hostA=$!
pids+=("$hostA")
unshare --net -- sleep infinity &
hostB=$!
pids+=("$hostB")
self=$(readlink /proc/self/ns/net)
for _ in $(seq 100); do
    a=$(readlink "/proc/$hostA/ns/net" 2>/dev/null || true)
    b=$(readlink "/proc/$hostB/ns/net" 2>/dev/null || true)
    [ -n "$a" ] && [ -n "$b" ] && [ "$a" != "$self" ] && [ "$b" != "$self" ] && break
    sleep 0.02
done
netA=/proc/$hostA/ns/net
netB=/proc/$hostB/ns/net

ip link add bvA type veth peer name bvB
ip link set bvA netns "$hostA"
ip link set bvB netns "$hostB"
nsenter --net="$netA" sh -e -c '
    ip link set lo up
    ip addr add 10.213.0.1/24 dev bvA
    ip link set bvA up
    ip route add 224.0.0.0/4 dev bvA'
nsenter --net="$netB" sh -e -c '
    ip link set lo up
    ip addr add 10.213.0.2/24 dev bvB
    ip addr add 10.213.0.3/24 dev bvB
    ip link set bvB up
    ip route add 224.0.0.0/4 dev bvB'

# The program's world: its own HOME with preferences that tick "Tally Enable" (not "Tally Start",
# so no script runs per datagram), a daily-log folder, and the simulators on host B.
home=$work/home
logs=$work/logs/
mkdir -p "$home/.config/Brenvale" "$logs" "$work/out"
mkdir -m 0700 "$home/run"
cat >"$home/.config/Brenvale/Brenvale.prefs" <<JSON
{"IPAddr":"10.213.0.2","LogPath":"$logs","VTid":"1","chrWorksIP":"10.213.0.2","chrWorksIPBup":"10.213.0.3","motion1Name":"motion1","motion2Name":"motion2","tslEnable":true,"tslPlay":false}
JSON

# A session bus on a socket file, reachable from both hosts.
bus="unix:path=$work/bus"
dbus-daemon --session --nofork --nopidfile --address="$bus" >"$work/out/dbus.log" 2>&1 &
pids+=("$!")
for _ in $(seq 200); do
    [ -S "$work/bus" ] && break
    sleep 0.01
done

group=$("$build/bench/brenvale-bench-group" Brenvale)

# The driver ends by itself; the timeout is only a guard against a hang.
status=0
nsenter --net="$netB" timeout --kill-after=10 900 "$build/bench/brenvale-bench" \
    --program "$build/Brenvale.app/Contents/MacOS/Brenvale" \
    --reflector "$build/bench/brenvale-bench-reflector" \
    --key-reflector "$build/bench/brenvale-bench-keyreflector" \
    --netns "$netA" --home "$home" --log-dir "$logs" --bus "$bus" --group "$group" \
    --out-dir "$work/out" --driver-address 10.213.0.2 --backup-address 10.213.0.3 \
    "${extra[@]}" || status=$?
if [ "$status" -ne 0 ]; then
    echo "bench: the driver failed ($status); the programs' output follows" >&2
    tail -n 20 "$work"/out/*.log >&2 || true
fi
exit "$status"
