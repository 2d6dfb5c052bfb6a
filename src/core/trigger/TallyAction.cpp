// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TallyAction.h"

TallyAction TallyAction::forTally(int tally)
{
    constexpr int half = StripWidth / 2;
    TallyAction a;
    switch (tally & 3) {
    case 1:
        a.redLamp = {std::nullopt, StripWidth, Red};
        a.greenLamp = {std::nullopt, 0, std::nullopt};
        a.enableLogText = QStringLiteral("Enabled by Red Tally");
        a.dailyLogText = QStringLiteral("Tally Red On");
        a.playLogText = QStringLiteral("Play from Red Tally");
        a.on = true;
        a.redTally = true;
        break;
    case 2:
        a.redLamp = {std::nullopt, 0, std::nullopt};
        a.greenLamp = {0, StripWidth, Green};
        a.enableLogText = QStringLiteral("Enabled by Green Tally");
        a.dailyLogText = QStringLiteral("Tally Green On");
        a.playLogText = QStringLiteral("Play from Green Tally");
        a.on = true;
        a.greenTally = true;
        break;
    case 3:
        a.redLamp = {std::nullopt, half, Red};
        a.greenLamp = {half, half, Green};
        a.enableLogText = QStringLiteral("Enabled by Tally");
        a.dailyLogText = QStringLiteral("Tally Red and Green On");
        a.playLogText = QStringLiteral("Play from Tally");
        a.on = true;
        a.redTally = true;
        a.greenTally = true;
        break;
    default:
        a.redLamp = {std::nullopt, half, Grey};
        a.greenLamp = {half, half, Grey};
        a.dailyLogText = QStringLiteral("Tally Off");
        a.redTally = false;
        a.greenTally = false;
        break;
    }
    return a;
}
