// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "gui/widgets/CanvasButton.h"

// A latching button: a press shows "pushed" and nothing in the button itself takes that back;
// its owner decides which of a pair looks pushed. Hovering repaints without changing the look.
// A class of its own, so the window and its tests can tell the two kinds apart.
class largeButton : public CanvasButton
{
    Q_OBJECT
public:
    explicit largeButton(QWidget *parent = nullptr);
};
