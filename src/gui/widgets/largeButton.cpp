// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/widgets/largeButton.h"

largeButton::largeButton(QWidget *parent) : CanvasButton(Kind::Latching, parent) { }
