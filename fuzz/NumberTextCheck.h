// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// Reads `text` as a number and checks the rules both the tally and the relay code rely on:
// never NaN, leading blanks and a sign change nothing but the sign, and a finite value reads
// back unchanged from its own text. Returns the value read.
double checkedTextToNumber(const QString &text);
