// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QString>

class QHostAddress;

// What the simulators print. Events go to standard output, one line each, flushed at once so
// that a person watching and a test reading the pipe see every line as it happens; status and
// trouble go to standard error, prefixed with the program's name.
namespace ToolOutput {

void event(const QString &line);
void status(const QString &line);

// Microseconds on the monotonic clock (CLOCK_MONOTONIC on Linux). Every process of one machine
// reads the same clock, so stamps printed by different tools can be compared.
qint64 nowMicros();

// The bytes in double quotes: printable ASCII as it is, backslash and double quote escaped,
// \n \r \t, and every other byte as \xHH (always two lower-case digits).
QString quoted(const QByteArray &bytes);

// The bytes as lower-case hexadecimal digits without separators.
QString hex(const QByteArray &bytes);

// "address:port"
QString endpoint(const QHostAddress &address, quint16 port);

} // namespace ToolOutput
