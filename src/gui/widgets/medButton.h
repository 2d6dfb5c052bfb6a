// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "gui/widgets/CanvasButton.h"

// A momentary button whose look follows the pointer: "hover" while over it, "pushed" while
// pressed, "normal" after a release or when the pointer leaves.
// A class of its own, so the window and its tests can tell the two kinds apart.
class medButton : public CanvasButton
{
    Q_OBJECT
public:
    explicit medButton(QWidget *parent = nullptr);
};
