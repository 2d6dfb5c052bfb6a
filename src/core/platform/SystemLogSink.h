// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>

// Where system-log lines go on this platform (SystemLogSinkPosix.cpp on Linux).
namespace SystemLogSink {
void write(const QByteArray &line);
// The standard-error copy alone, for the toolkit's own diagnostics.
void writeStandardError(const QByteArray &line);
// Waits up to maxMs in all for standard error to take the lines still waiting. Runs at exit, so
// that a reader that is only slow still gets the last lines; one that never reads costs maxMs.
void drain(int maxMs);
// What the exit grants.
constexpr int ExitDrainMs = 500;
} // namespace SystemLogSink
