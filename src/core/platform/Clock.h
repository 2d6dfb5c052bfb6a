// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QDateTime>

// The system's local date and time. The trigger reads its clock through the services it is
// given (core/platform/Services.h); this is the one main.cpp hands in.
namespace Clock {
QDateTime now();
} // namespace Clock
