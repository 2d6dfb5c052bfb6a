// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/HostNetwork.h"
#include "core/platform/HttpClient.h"

#include <QDateTime>
#include <QPointer>

#include <functional>

// What the trigger takes from the world around it, handed in once when the program starts.
// Tests hand in their own.
struct Services
{
    // The local date and time.
    std::function<QDateTime()> clock;
    // The host's network interfaces.
    HostNetwork::View network;
    // Carries the graphics-server requests; it must live as long as the application, since a
    // request outlives the window that started it.
    QPointer<HttpClient> http;
    // Milliseconds of a clock that only moves forward, for time that has passed.
    std::function<qint64()> monotonicMs;

    // The system clock and the host's real interfaces, with the given client.
    static Services system(HttpClient *http);
};
