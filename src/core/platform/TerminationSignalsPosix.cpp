// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace TerminationSignals {
namespace {
int s_pipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(s_pipe[0], &byte, 1);
}
} // namespace

void install(QObject *context, std::function<void()> callback)
{
    if (s_pipe[0] != -1 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, s_pipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(s_pipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [callback = std::move(callback)] {
        char buffer[16];
        [[maybe_unused]] const auto read = ::read(s_pipe[1], buffer, sizeof buffer);
        callback();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace TerminationSignals
