// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/widgets/largeButton.h"

largeButton::largeButton(QWidget *parent)
    : CanvasButton(parent)
{
}

largeButton::~largeButton() = default;

bool largeButton::Event_MouseDown()
{
    setState(QStringLiteral("pushed"));
    Refresh(true);
    return true;
}

void largeButton::Event_MouseEnter()
{
    Refresh(true);
}

void largeButton::Event_MouseExit()
{
    Refresh(true);
}

void largeButton::Event_MouseUp()
{
    // Stays "pushed": only the owner gives it back its "normal" look.
    Refresh(true);
    Q_EMIT Action();
}
