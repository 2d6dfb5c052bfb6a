// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Clock.h"

namespace Clock {

QDateTime now()
{
    return QDateTime::currentDateTime();
}

} // namespace Clock
