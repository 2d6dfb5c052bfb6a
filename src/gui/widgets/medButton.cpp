// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/widgets/medButton.h"

medButton::medButton(QWidget *parent) : CanvasButton(Kind::Momentary, parent) { }
