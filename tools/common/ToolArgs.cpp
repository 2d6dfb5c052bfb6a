// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "ToolArgs.h"

#include "ToolOutput.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace ToolArgs {

void usageError(const QString &message)
{
    ToolOutput::status(message + QLatin1String(" (see --help)"));
    std::exit(2);
}

void rejectPositionals(const QCommandLineParser &parser)
{
    if (!parser.positionalArguments().isEmpty())
        usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()));
}

qint64 integer(const QCommandLineParser &parser, const QString &name, qint64 min, qint64 max)
{
    QString text = parser.value(name).trimmed();
    bool negative = false;
    if (text.startsWith(QLatin1Char('-'))) {
        negative = true;
        text.remove(0, 1);
    }
    bool ok = false;
    qint64 value = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.mid(2).toLongLong(&ok, 16);
    else
        value = text.toLongLong(&ok, 10);
    if (negative)
        value = -value;
    if (!ok || value < min || value > max)
        usageError(QStringLiteral("--%1 wants a whole number from %2 to %3, not \"%4\"")
                       .arg(name)
                       .arg(min)
                       .arg(max)
                       .arg(parser.value(name)));
    return value;
}

double number(const QCommandLineParser &parser, const QString &name, double min, double max)
{
    bool ok = false;
    const double value = parser.value(name).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < min || value > max)
        usageError(QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                       .arg(name)
                       .arg(min)
                       .arg(max)
                       .arg(parser.value(name)));
    return value;
}

quint16 port(const QCommandLineParser &parser, const QString &name)
{
    return static_cast<quint16>(integer(parser, name, 1, 65535));
}

QHostAddress ipv4(const QCommandLineParser &parser, const QString &name)
{
    const QHostAddress address(parser.value(name).trimmed());
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        usageError(QStringLiteral("--%1 wants a dotted IPv4 address, not \"%2\"").arg(name, parser.value(name)));
    return address;
}

QByteArray hexBytes(const QCommandLineParser &parser, const QString &name)
{
    QString text = parser.value(name);
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char(':'));
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.remove(0, 2);
    const QByteArray digits = text.toLatin1();
    for (const char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            usageError(QStringLiteral("--%1 wants hexadecimal digits, not \"%2\"").arg(name, parser.value(name)));
    }
    if (digits.size() % 2 != 0)
        usageError(QStringLiteral("--%1 wants an even number of hexadecimal digits").arg(name));
    return QByteArray::fromHex(digits);
}

} // namespace ToolArgs
