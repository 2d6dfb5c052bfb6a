// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QStringList>

#include <functional>

// The host's network interfaces as the program sees them: how many are up and the IPv4
// address of each, in the platform's order. The trigger reads them through the View it is
// given (core/platform/Services.h); the functions here are the host's own.
namespace HostNetwork {

struct View
{
    std::function<int()> interfaceCount;
    std::function<QStringList()> ipv4Addresses;
};

int interfaceCount();
// Every IPv4 address of every interface, in the platform's order; the kernel is asked at
// most once a second.
QStringList ipv4Addresses();
// The first IPv4 address of an interface that is up and not loopback, else 127.0.0.1.
QString primaryIPv4Address();

} // namespace HostNetwork
