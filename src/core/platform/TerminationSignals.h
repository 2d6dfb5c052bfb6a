// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QObject>

#include <functional>

// SIGTERM and SIGINT become a call on the event loop, so that they quit through the same
// orderly shut-down as the Quit menu item.
namespace TerminationSignals {
void install(QObject *context, std::function<void()> onSignal);
}
