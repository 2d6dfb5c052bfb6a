// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace TerminationSignals {
namespace {
// Read end, write end. Both ends are non-blocking: the handler must never wait, whatever the
// burst of signals and however long the loop is busy; and close-on-exec, so no script holds them.
int s_pipe[2] = {-1, -1};

void onSignal(int)
{
    // A full pipe already holds a wake-up, so EAGAIN loses nothing. The handler may interrupt
    // code between a failing call and its look at errno.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(s_pipe[1], &byte, 1);
    errno = savedErrno;
}
} // namespace

void install(QObject *context, std::function<void()> callback)
{
    if (s_pipe[0] != -1 || ::pipe2(s_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    auto *notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [callback = std::move(callback)] {
        // However many signals came since the last look, they ask for one thing once.
        char buffer[256];
        while (::read(s_pipe[0], buffer, sizeof buffer) > 0) { }
        callback();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A closed terminal ends the program in the same order as a SIGTERM, unless whoever started
    // the program had the hang-up ignored (nohup): that choice is theirs and stays.
    struct sigaction hangUp = {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);

    // A peer or a pipe that went away makes a write fail with EPIPE, which the caller handles;
    // the signal would end the program with no closing line.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

} // namespace TerminationSignals
