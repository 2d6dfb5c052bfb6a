// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The siege driver. It runs on the second host of the namespace pair that scripts/siege.sh
// builds, starts the program in the first for each attack, attacks it from here, and prints per
// attack a table of the figures that must hold; the exit code is 0 only when all of them do.
#include "Siege.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <utility>

int main(int argc, char *argv[])
{
    // A program stopping with a box open or a full pipe must not take the driver with it.
    std::signal(SIGPIPE, SIG_IGN);
    Siege siege {SiegeOptions::parse(argc, argv), {}};
    using Attack = void (*)(Siege &);
    // One attack a line, in the order they run.
    const std::pair<int, Attack> attacks[] = {
        {1, attackFloods},
        {2, attackEndlessAnswers},
        {3, attackBrokenAnswers},
        {4, attackPartialFrames},
        {5, attackJoins},
        {6, attackBoxes},
        {7, attackForeignFlood},
        {8, attackFlapping},
        {9, attackRelayReplies},
        {10, attackLineBreakers},
        {11, attackRollCalls},
        {12, attackStalledFiles},
        {13, attackBadPrefs},
        {14, attackMarkup},
        {15, attackSilentNameServer},
        {16, attackLogLineFloods},
        {17, attackTransfersInFlight},
        {18, attackPlayoutPileUp},
        {19, attackChunkExtension},
        {20, attackInheritance},
        {21, attackSignalBursts},
        {22, attackSecondInstance},
        {23, attackFrameRateSenders},
        {24, attackEveryKindFlood},
        {25, attackRelayBoxBudget},
        {26, attackFormatCharacters},
        {27, attackLongPeerMessage},
        {28, attackUnreadPrefs},
        {29, attackPlantedDailyLog},
        {30, attackReplugged},
        {31, attackReaddressed},
        {32, attackLookupPileUp},
        {33, attackInputWhileNetworkTalks},
        {34, attackHangUpAndOpener},
    };
    std::printf("siege of %s (%s run)\n", siege.options.program.c_str(), siege.options.quick ? "quick" : "full");
    for (const auto &[number, attack] : attacks) {
        if (!siege.options.only.empty() && !siege.options.only.contains(number))
            continue;
        try {
            attack(siege);
        } catch (const std::exception &error) {
            siege.report.row("attack " + std::to_string(number) + " ran", error.what(), "ran", false);
        }
    }
    return siege.report.summary();
}
