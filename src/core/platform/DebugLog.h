// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// The system log: one entry per call, to syslog and the same line to standard error.
// Control characters in the message are escaped so that one call stays one line.
void DebugLog(const QString &message);

// One event, one line: CR, LF and TAB become \r, \n and \t, the other C0 control characters,
// DEL and the C1 control characters become \xNN, the line and paragraph separators U+2028 and
// U+2029 become \u2028 and \u2029; everything else is left as it is.
QString escapeControlCharacters(const QString &text);

// Sends the toolkit's diagnostics (qDebug, qWarning and the brenvale.* categories) written on
// the event loop's thread to standard error through the same buffer as the system-log copy, so
// that they never block on a stalled reader either. Others keep the toolkit's own handler.
void routeToolkitMessages();
