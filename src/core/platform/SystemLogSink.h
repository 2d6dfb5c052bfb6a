// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>

// Where system-log lines go on this platform (SystemLogSinkPosix.cpp on Linux).
namespace SystemLogSink {
void write(const QByteArray &line);
// The standard-error copy alone, for the toolkit's own diagnostics.
void writeStandardError(const QByteArray &line);
} // namespace SystemLogSink
