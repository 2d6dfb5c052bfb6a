// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "NumberTextCheck.h"

#include "FuzzCheck.h"
#include "core/trigger/NumberText.h"

#include <cmath>

double checkedTextToNumber(const QString &text)
{
    const double value = textToNumber(text);
    FUZZ_CHECK(!std::isnan(value), text);

    FUZZ_CHECK(textToNumber(QStringLiteral(" \t ") + text) == value, text);

    const bool startsPlain = !text.isEmpty() && text.front() != QLatin1Char(' ') && text.front() != QLatin1Char('\t')
        && text.front() != QLatin1Char('+') && text.front() != QLatin1Char('-');
    if (startsPlain) {
        FUZZ_CHECK(textToNumber(QLatin1Char('-') + text) == -value, text);
        FUZZ_CHECK(textToNumber(QLatin1Char('+') + text) == value, text);
    }

    const QString written = numberToText(value);
    FUZZ_CHECK(!written.isEmpty(), text);
    if (std::isfinite(value))
        FUZZ_CHECK(textToNumber(written) == value, text + QStringLiteral(" -> ") + written);
    return value;
}
