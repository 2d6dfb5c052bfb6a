// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QtGlobal>

#include <optional>

// Tokens to spend on something that may come too often: `burst` of them at once, and one back
// every `refillMs`, up to the burst again. The times are milliseconds of a clock that only moves
// forward (the monotonic clock); a time before the last refill only delays the next one.
class TokenBucket
{
public:
    // Holds no token and earns none; for a bucket that is set up later.
    TokenBucket() = default;
    TokenBucket(int burst, qint64 refillMs) : m_burst(burst), m_refillMs(refillMs), m_tokens(burst) { }

    // Spends a token at nowMs, after adding those earned since the last refill; false when none
    // is left.
    bool take(qint64 nowMs);

private:
    int m_burst = 0;
    qint64 m_refillMs = 1;
    int m_tokens = 0;
    std::optional<qint64> m_refilledAt;
};
