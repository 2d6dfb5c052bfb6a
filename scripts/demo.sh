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
children=()
# Starts a command in the background and keeps its own process id (a list such as `x && y &`
# would give the id of a subshell, and ending that leaves y running).
start() {
    "$@" &
    children+=($!)
}
# Sends TERM, and KILL to whatever still runs 3 s later.
stop() {
    [ $# -gt 0 ] || return 0
    kill "$@" 2>/dev/null || return 0
    for _ in $(seq 30); do
        kill -0 "$@" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$@" 2>/dev/null || true
}
# Runs once, however the script ends: everything it started stops, and so does anything still
# running in its two namespaces (the program, its bus), before they are deleted.
cleanup() {
    trap - EXIT INT TERM HUP PIPE
    set +e
    stop "${children[@]}"
    for n in "$a" "$b"; do
        stop $(ip netns pids "$n" 2>/dev/null)
        ip netns del "$n" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# A signal, or a reader that went away (`demo.sh | head`), ends the script through cleanup.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 141' PIPE
trap 'exit 143' TERM

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
start ip netns exec "$b" "$tools/brenvale-relay-box" --bind 10.98.0.2
start ip netns exec "$b" "$tools/brenvale-graphics-server" --bind 10.98.0.2
start ip netns exec "$b" "$tools/brenvale-graphics-server" --bind 10.98.0.3
if [ -n "$group" ]; then
    start ip netns exec "$b" "$tools/brenvale-peer-probe" --group "$group" --listen
fi
sleep 0.5

# In the background with a wait, so that a signal is acted on at once, not when this part ends.
echo "== program in $a"
start ip netns exec "$a" env HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
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
    " > >(sed 's/^/[program] /') 2>&1
wait "${children[-1]}"

echo "== daily log"
cat "$home"/logs/*.txt | tr -d '\r'
