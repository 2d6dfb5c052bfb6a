// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/NumberText.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

double textToNumber(const QString &text)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;

    bool negative = false;
    if (i < size && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }

    // Collect the number's characters as ASCII for the locale-independent parser, and keep a
    // rough decimal magnitude so that an out-of-range result can be told apart as huge or tiny.
    std::string digits;
    qsizetype integerDigits = 0; // significant digits before the point
    qsizetype leadingFraction = 0; // zeros after the point before the first significant digit
    bool seenSignificant = false;
    bool anyDigit = false;

    while (i < size && isDigit(text.at(i))) {
        const char c = char(text.at(i).unicode());
        if (c != '0' || seenSignificant) {
            seenSignificant = true;
            ++integerDigits;
        }
        digits.push_back(c);
        anyDigit = true;
        ++i;
    }
    if (i < size && text.at(i) == QLatin1Char('.')) {
        digits.push_back('.');
        ++i;
        while (i < size && isDigit(text.at(i))) {
            const char c = char(text.at(i).unicode());
            if (c != '0')
                seenSignificant = true;
            else if (!seenSignificant)
                ++leadingFraction;
            digits.push_back(c);
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit)
        return 0.0;

    // An exponent counts only when at least one digit follows the letter (and its sign).
    long long exponent = 0;
    if (i < size && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (j < size && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-'))) {
            negativeExponent = text.at(j) == QLatin1Char('-');
            ++j;
        }
        if (j < size && isDigit(text.at(j))) {
            digits.push_back('e');
            if (negativeExponent)
                digits.push_back('-');
            while (j < size && isDigit(text.at(j))) {
                const char c = char(text.at(j).unicode());
                digits.push_back(c);
                if (exponent < 1'000'000'000)
                    exponent = exponent * 10 + (c - '0');
                ++j;
            }
            if (negativeExponent)
                exponent = -exponent;
        }
    }

    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const long long magnitude = exponent + (integerDigits > 0 ? integerDigits : -leadingFraction);
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

QString numberToText(double value)
{
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-7 && magnitude < 1e21)
        return QString::number(value, 'f', QLocale::FloatingPointShortest);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
