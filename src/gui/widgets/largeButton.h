// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "gui/widgets/CanvasButton.h"

// A latching button: a press shows "pushed" and nothing in the button itself takes that back;
// its owner decides which of a pair looks pushed. Hovering repaints without changing the look.
class largeButton : public CanvasButton
{
    Q_OBJECT
public:
    explicit largeButton(QWidget *parent = nullptr);
    ~largeButton() override;

protected:
    bool Event_MouseDown() override;
    void Event_MouseEnter() override;
    void Event_MouseExit() override;
    void Event_MouseUp() override;
};
