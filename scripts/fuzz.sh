#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Builds the libFuzzer targets with clang in build-fuzz and runs them all at once, each for the
# given number of seconds (default 600), starting from the seed corpus in fuzz/corpus/<target>.
#
#   scripts/fuzz.sh [seconds] [target...]
#
# New interesting inputs collect in build-fuzz/corpus/<target>, so a later run goes on from
# there; the seed corpus in the repository is only read. An input that crashes, hangs (over 5 s),
# leaks or grows memory past 2 GiB stops its target and is kept as
# build-fuzz/artifacts/<target>-<kind>-<hash>; the script then fails. Once the fault is fixed,
# add that input to fuzz/corpus/<target>/ under a name that says what it is.
# Reproduce one input with: build-fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-600}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_tsl_packet fuzz_peer_reassembly fuzz_prefs_load fuzz_relay_reply)

build=build-fuzz
CC=clang CXX=clang++ cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# A smaller quarantine than ASan's 256 MiB: freed memory still waits long enough to catch a use
# after free in these small inputs, and the memory limit then measures the code, not ASan.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
mkdir -p "$build/artifacts" "$build/logs"
pids=()
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t"
    dict=()
    [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
    "$build/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=5 -print_final_stats=1 "${dict[@]}" \
        -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "fuzz/corpus/$t" \
        >"$build/logs/$t.log" 2>&1 &
    pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
    t="${targets[$i]}"
    if wait "${pids[$i]}"; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/logs/$t.log")
        echo "$t: ok, ${runs:-?} runs in ${seconds} s"
    else
        failed=1
        echo "$t: FAILED (log: $build/logs/$t.log)"
        grep -E 'ERROR|invariant broken|runtime error|Test unit written' "$build/logs/$t.log" | head -20 || true
    fi
done
exit "$failed"
