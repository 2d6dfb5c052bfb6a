// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Listeners;
class RemoteCall;

// Remote key calls, one every 50 ms (Key 1 On, Key 1 Off, Key 2 On, Key 2 Off in turn), each
// timed from just before the call to the relay datagram and to each graphics server's POST.
struct KeyResult
{
    std::size_t calls = 0;
    std::size_t answeredTrue = 0;
    // Nanoseconds from the call to each arrival, and to the call's answer.
    std::vector<std::int64_t> relay, postMain, postBackup, reply;
    std::size_t missing = 0; // arrivals that did not come within 2 s
    // The first call's figures, which include connection set-up; -1 when missing.
    std::int64_t firstRelay = -1, firstPostMain = -1, firstPostBackup = -1;
};

KeyResult runKeys(RemoteCall &remote, Listeners &listeners, std::size_t calls);
