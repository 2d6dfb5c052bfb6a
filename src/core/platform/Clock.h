// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QDateTime>

#include <functional>

// The local date and time. Tests may put a clock of their own in its place.
namespace Clock {
QDateTime now();
void setSource(std::function<QDateTime()> source); // empty restores the system clock
} // namespace Clock
