// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

class QLabel;
class QWidget;

// The framework's Label as the windows use it: black text on one line, not selectable, taking
// no focus, in the design face at a design size in points (0: the system size). The text, now
// and whatever is set later, is plain text, shown character for character.
QLabel *makeLabel(QWidget *parent, const QString &text, int designPoints = 0);
