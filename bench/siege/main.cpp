// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The siege driver. It runs on the second host of the namespace pair that scripts/siege.sh
// builds, starts the program in the first for each attack, attacks it from here, and prints per
// attack a table of the figures that must hold; the exit code is 0 only when all of them do.
#include "Siege.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iterator>

int main(int argc, char *argv[])
{
    // A program stopping with a box open or a full pipe must not take the driver with it.
    std::signal(SIGPIPE, SIG_IGN);
    Siege siege {SiegeOptions::parse(argc, argv), {}};
    using Attack = void (*)(Siege &);
    // Numbered as in the table titles; an empty place is a number this build has no attack for.
    const Attack attacks[] = {attackFloods, attackEndlessAnswers, attackBrokenAnswers, attackPartialFrames, attackJoins,
        attackBoxes, attackForeignFlood, attackFlapping, attackRelayReplies, attackLineBreakers, attackRollCalls,
        attackStalledFiles, attackBadPrefs, nullptr, nullptr, nullptr, nullptr, attackPlayoutPileUp, nullptr,
        attackInheritance, attackSignalBursts};
    std::printf("siege of %s (%s run)\n", siege.options.program.c_str(), siege.options.quick ? "quick" : "full");
    for (int number = 1; number <= int(std::size(attacks)); ++number) {
        if (!attacks[number - 1] || (!siege.options.only.empty() && !siege.options.only.contains(number)))
            continue;
        try {
            attacks[number - 1](siege);
        } catch (const std::exception &error) {
            siege.report.row("attack " + std::to_string(number) + " ran", error.what(), "ran", false);
        }
    }
    return siege.report.summary();
}
