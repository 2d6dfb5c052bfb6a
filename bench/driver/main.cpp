// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The benchmark driver. It runs on the second host of a two-host namespace pair that
// scripts/bench.sh builds, starts the program (and later the floor reflectors) in the first, and
// prints one line per figure on standard output; progress goes to standard error.
#include "Bench.h"
#include "BenchOptions.h"

#include <cstdio>
#include <exception>

int main(int argc, char *argv[])
{
    const BenchOptions options = BenchOptions::parse(argc, argv);
    try {
        return Bench(options).run();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench: %s\n", error.what());
        return 1;
    }
}
