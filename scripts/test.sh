#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# Installs what is missing, builds, and runs every test inside a private network namespace;
# then the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, and a few
# seconds of each fuzz target (scripts/fuzz.sh runs them longer).
set -euo pipefail
cd "$(dirname "$0")/.."

stage() {
    echo "== $* ($(date +%T))"
}

# Runs the suite of a built tree inside a private network namespace. As root in a namespace of
# its own every suite can run, so a suite that skipped as a whole fails the run; cases that
# skipped inside a suite that ran are listed.
run_suite() {
    local dir=$1
    local summary=$dir/Testing/suite-summary.txt
    mkdir -p "$dir/Testing"
    scripts/netns-run.sh ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" | tee "$summary"
    if grep -q '^SKIP   :' "$dir/Testing/Temporary/LastTest.log"; then
        echo "Cases skipped in $dir:"
        grep -h '^SKIP   :' "$dir/Testing/Temporary/LastTest.log" | sed 's/^/  /'
    fi
    if grep -q '(Skipped)$' "$summary"; then
        echo "Suites skipped in $dir (the test command runs as root, where all of them can run):" >&2
        grep '(Skipped)$' "$summary" >&2
        return 1
    fi
}

scripts/install-deps.sh

stage "format check"
# Every C and C++ file as .clang-format has it; clang-format -i on the named files mends it.
git ls-files -z -- '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

stage "build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENVALE_WERROR=ON
cmake --build build -j"$(nproc)"
run_suite build

# Any sanitizer report fails its test: UBSan stops at the first finding, ASan always does, and
# LeakSanitizer reports at exit with a non-zero status. The settings reach the programs the
# tests start too.
stage "build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENVALE_SANITIZE=ON -DBRENVALE_WERROR=ON
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    run_suite build-asan

stage "fuzz targets, 5 s each"
scripts/fuzz.sh 5
stage "done"
