// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QDateTime>

// The system's clocks. The trigger reads its clocks through the services it is given
// (core/platform/Services.h); these are the ones main.cpp hands in.
namespace Clock {
// The local date and time, for what is shown and written; it may be set back or forward.
QDateTime now();
// Milliseconds of the monotonic clock, from an arbitrary start: for measuring time that has
// passed, since no one sets this clock.
qint64 monotonicMs();
} // namespace Clock
