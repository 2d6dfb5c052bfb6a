// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// The system log: one entry per call, to syslog and the same line to standard error.
// The message is written escaped (OutsideText::escaped) so that one call stays one line.
void DebugLog(const QString &message);

// Sends the toolkit's diagnostics (qDebug, qWarning and the brenvale.* categories) written on
// the event loop's thread to standard error through the same buffer as the system-log copy, so
// that they never block on a stalled reader either. Others keep the toolkit's own handler.
void routeToolkitMessages();
