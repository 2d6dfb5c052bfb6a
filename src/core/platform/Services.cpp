// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Services.h"

#include "core/platform/Clock.h"

Services Services::system(HttpClient *http)
{
    return {&Clock::now,
        {&HostNetwork::interfaceCount, &HostNetwork::ipv4Addresses, &HostNetwork::freshIPv4Addresses,
            [](QObject *context, std::function<void()> onChange) {
                HostNetwork::watchChanges(context, std::move(onChange));
            }},
        http, &Clock::monotonicMs};
}
