// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/widgets/medButton.h"

medButton::medButton(QWidget *parent)
    : CanvasButton(parent)
{
}

medButton::~medButton() = default;

bool medButton::Event_MouseDown()
{
    setState(QStringLiteral("pushed"));
    Refresh(true);
    return true;
}

void medButton::Event_MouseEnter()
{
    setState(QStringLiteral("hover"));
    Refresh(true);
}

void medButton::Event_MouseExit()
{
    setState(QStringLiteral("normal"));
    Refresh(true);
}

void medButton::Event_MouseUp()
{
    // The button shows "normal" after a click even with the pointer still over it.
    setState(QStringLiteral("normal"));
    Refresh(true);
    Q_EMIT Action();
}
