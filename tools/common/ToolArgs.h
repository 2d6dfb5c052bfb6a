// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

class QCommandLineParser;

// Reading option values. A bad value ends the program with a message and exit code 2, the
// usual code for a usage error, so a test that passes a wrong option fails loudly.
namespace ToolArgs {

[[noreturn]] void usageError(const QString &message);

// Refuses stray positional arguments, which are always a mistake with these tools.
void rejectPositionals(const QCommandLineParser &parser);

// Decimal, or hexadecimal with a 0x prefix; a minus sign is allowed where min is negative.
qint64 integer(const QCommandLineParser &parser, const QString &name, qint64 min, qint64 max);
double number(const QCommandLineParser &parser, const QString &name, double min, double max);
quint16 port(const QCommandLineParser &parser, const QString &name);
// A literal IPv4 address (no host names: nothing here should ever resolve a name).
QHostAddress ipv4(const QCommandLineParser &parser, const QString &name);
// Hexadecimal digits; spaces, colons and a 0x prefix are allowed for readability.
QByteArray hexBytes(const QCommandLineParser &parser, const QString &name);

} // namespace ToolArgs
