// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

#include <optional>

// What the main window does for one tally value: the lamp looks, the log texts of the enable,
// daily-log and play steps, and the new values of the RedTally / GreenTally flags.
// The window runs the steps in this order: lamps, enable step (when "Tally Enable" is ticked),
// daily-log step (when either tally box is ticked), play step (when "Tally Start" is ticked and
// both flags are false before this datagram), then the flags.
class TallyAction
{
public:
    // Opaque colours as 0xAARRGGBB, the layout of QRgb, so the window can hand them to QColor.
    using Rgb = quint32;
    static constexpr Rgb Red = 0xFFFF0000;
    static constexpr Rgb Green = 0xFF00FF00;
    static constexpr Rgb Grey = 0xFF646464;
    static constexpr int StripWidth = 428;

    // Only the lamp properties that are set carry a value; a lamp shrunk to width 0 keeps its
    // other properties, and the red lamp's left edge never moves.
    struct LampLook
    {
        std::optional<int> left;
        std::optional<int> width;
        std::optional<Rgb> fill;

        bool operator==(const LampLook &) const = default;
    };

    // Value 0 to 3; higher bits are masked off.
    static TallyAction forTally(int tally);

    // The value was red, green or both.
    bool on = false;
    LampLook redLamp;
    LampLook greenLamp;
    // Empty when the value does not enable the trigger (off).
    QString enableLogText;
    QString dailyLogText;
    // Empty when the value does not start playout (off).
    QString playLogText;
    // New flag values; nothing means unchanged.
    std::optional<bool> redTally;
    std::optional<bool> greenTally;

    // Playout starts only on a step from "no on-state seen since the last off" to an on value.
    static bool playArmed(bool redSeen, bool greenSeen) { return !redSeen && !greenSeen; }
};
