// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QObject>

#include <functional>

// SIGTERM, SIGINT and SIGHUP become a call on the event loop, so that they quit through the same
// orderly shut-down as the Quit menu item; a burst of them makes one call per turn of the loop
// at most. A SIGHUP that was ignored when the program started (under nohup) stays ignored.
// SIGPIPE is ignored.
namespace TerminationSignals {
void install(QObject *context, std::function<void()> onSignal);
}
