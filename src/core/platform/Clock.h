// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QDateTime>

// The system's local date and time, and a clock for measuring intervals that no setting of the
// date moves. The trigger reads both through the services it is given (core/platform/Services.h);
// these are the ones main.cpp hands in.
namespace Clock {
QDateTime now();
// Milliseconds of the monotonic clock, from an arbitrary start.
qint64 monotonicMs();
} // namespace Clock
