// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// Reads the decimal number at the start of a text, the way the framework's Val does: leading
// blanks are skipped, then an optional sign, digits with an optional fraction and an optional
// exponent. Whatever follows the number is ignored; a text that does not start with a number
// reads as 0. Numbers too large for a double read as infinity, too small as 0.
double textToNumber(const QString &text);

// The shortest text that reads back as the same number: 1 -> "1", 2.5 -> "2.5", 0 -> "0".
// Plain decimals from 1e-7 up to 1e21, exponent form outside that range.
QString numberToText(double value);
