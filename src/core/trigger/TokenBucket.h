// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QtGlobal>

#include <optional>

// Tokens to spend on something that may come too often: `burst` of them at once, and
// `perSecond` back every second, earned a thousandth at a time, up to the burst again. The
// times are milliseconds of a clock that only moves forward (the monotonic clock); a time
// before the last refill earns nothing and only delays the next token.
class TokenBucket
{
public:
    // Holds no token and earns none; for a bucket that is set up later.
    TokenBucket() = default;
    TokenBucket(int burst, int perSecond) : m_burst(burst), m_perSecond(perSecond), m_milliTokens(burst * 1000LL) { }

    // Whether a token is there to spend at nowMs, after adding those earned since the last refill.
    bool canTake(qint64 nowMs);
    // Spends a token at nowMs; false when none is left.
    bool take(qint64 nowMs);

private:
    void refill(qint64 nowMs);

    int m_burst = 0;
    int m_perSecond = 0;
    qint64 m_milliTokens = 0;
    std::optional<qint64> m_refilledAt;
};
