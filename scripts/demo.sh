#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Shows the main road at work without touching any real network: the program runs in one
# private network namespace, the simulators (tally source, relay box, two graphics servers and a
# peer probe) in another, joined by a veth pair. Needs root (or sudo) and a built tree.
#
#   scripts/demo.sh            tally red -> enable, daily log, playout, peer message;
#                              then Key 1 On over D-Bus -> relay command and two POSTs
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"

build=${BUILD_DIR:-build}
tools=$build/tools
program=$build/Brenvale.app/Contents/MacOS/Brenvale
[ -x "$program" ] || { echo "build first: scripts/test.sh or cmake --build $build" >&2; exit 1; }

a=brvdemoA$$ b=brvdemoB$$
work=$(mktemp -d)
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    wait 2>/dev/null || true
    ip netns del "$a" 2>/dev/null || true
    ip netns del "$b" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

ip netns add "$a"; ip netns add "$b"
ip -n "$a" link add veth0 type veth peer name veth0 netns "$b"
for n in "$a" "$b"; do ip -n "$n" link set lo up; done
ip -n "$a" addr add 10.98.0.1/24 dev veth0; ip -n "$a" link set veth0 up
ip -n "$b" addr add 10.98.0.2/24 dev veth0; ip -n "$b" addr add 10.98.0.3/24 dev veth0
ip -n "$b" link set veth0 up
for n in "$a" "$b"; do ip -n "$n" route add 224.0.0.0/4 dev veth0; done

home=$work/home
mkdir -p "$home/.config/Brenvale" "$home/logs"
printf '{"VTid":"1","chrWorksIP":"10.98.0.2","chrWorksIPBup":"10.98.0.3","IPAddr":"10.98.0.2","motion1Name":"motion1","motion2Name":"motion2","LogPath":"%s/logs/","tslEnable":true,"tslPlay":true}' \
    "$home" > "$home/.config/Brenvale/Brenvale.prefs"

group=$("$tools/brenvale-group-address" Brenvale 2>/dev/null || echo "")
echo "== simulators in $b"
ip netns exec "$b" "$tools/brenvale-relay-box" --bind 10.98.0.2 &
ip netns exec "$b" "$tools/brenvale-graphics-server" --bind 10.98.0.2 &
ip netns exec "$b" "$tools/brenvale-graphics-server" --bind 10.98.0.3 &
[ -n "$group" ] && ip netns exec "$b" "$tools/brenvale-peer-probe" --group "$group" --listen &
sleep 0.5

echo "== program in $a"
ip netns exec "$a" env HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
    dbus-run-session -- bash -c "
        '$program' &
        sleep 1.5
        echo '== tally red for VT 1'
        ip netns exec '$b' '$tools/brenvale-tsl-source' --to 10.98.0.1 --vtid 1 --tally red --count 1 || true
        sleep 1
        echo '== Key 1 On over D-Bus'
        gdbus call --session --dest org.brenvale.Control --object-path /Control \
            --method org.brenvale.Control.HandleEvent Bvrq Rel0
        sleep 1.5
        kill -TERM %1; wait
    " 2>&1 | sed 's/^/[program] /'

echo "== daily log"
cat "$home"/logs/*.txt | tr -d '\r'
