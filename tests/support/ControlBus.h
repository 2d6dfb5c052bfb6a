// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// The program's remote control reached as a script reaches it: `gdbus` on the session bus at
// `busAddress`.
namespace ControlBus {

// Waits up to timeoutMs for org.brenvale.Control to answer an introspection of /Control.
bool waitForService(const QString &busAddress, int timeoutMs);

// `gdbus call` of HandleEvent; gives gdbus's answer, e.g. "(true,)", or "<gdbus did not finish>".
QString callHandleEvent(const QString &busAddress, const QString &eventClass, const QString &eventID);

} // namespace ControlBus
