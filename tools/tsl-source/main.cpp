// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "ToolArgs.h"
#include "ToolLifetime.h"
#include "ToolOutput.h"
#include "TslSource.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <limits>

namespace {

quint8 headerByte(const QCommandLineParser &parser)
{
    const int given = int(parser.isSet(QStringLiteral("address"))) + int(parser.isSet(QStringLiteral("vtid")))
        + int(parser.isSet(QStringLiteral("header")));
    if (given > 1)
        ToolArgs::usageError(QStringLiteral("give only one of --address, --vtid and --header"));
    if (parser.isSet(QStringLiteral("header")))
        return static_cast<quint8>(ToolArgs::integer(parser, QStringLiteral("header"), 0, 255));
    if (parser.isSet(QStringLiteral("address"))) {
        const qint64 address = ToolArgs::integer(parser, QStringLiteral("address"), 0, 255);
        // 0 to 127 are display addresses; a value from 128 on is already a header byte.
        return static_cast<quint8>(address < 128 ? 0x80 + address : address);
    }
    const qint64 vtid = ToolArgs::integer(parser, QStringLiteral("vtid"), 0, 128);
    return static_cast<quint8>((0x80 + vtid - 1) & 0xff);
}

quint8 tallyByte(const QCommandLineParser &parser)
{
    const QString name = parser.value(QStringLiteral("tally")).trimmed().toLower();
    if (name == QLatin1String("off"))
        return 0;
    if (name == QLatin1String("red"))
        return 1;
    if (name == QLatin1String("green"))
        return 2;
    if (name == QLatin1String("both"))
        return 3;
    bool ok = false;
    const uint value = name.startsWith(QLatin1String("0x")) ? name.mid(2).toUInt(&ok, 16) : name.toUInt(&ok, 10);
    if (!ok || value > 255)
        ToolArgs::usageError(QStringLiteral("--tally wants off, red, green, both or a byte value 0-255, not \"%1\"")
                                 .arg(parser.value(QStringLiteral("tally"))));
    return static_cast<quint8>(value);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brenvale-tsl-source"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Sends TSL UMD 4.0 tally datagrams, as a vision mixer's tally interface does.\n"
                       "Packet: byte 0 = 0x80 + display address, 1 control, 2-17 text (space padded),\n"
                       "18 checksum, 19 VBC, 20 tally (bits 0-1), 21 right tally (left out with --short).\n"
                       "Prints, per datagram sent:\n"
                       "  sent <n> to <addr>:<port> size <bytes> header 0x<hh> vtid <v> tally <name> text \"<text>\" "
                       "hex <hex> at <us>\n"
                       "  sent <n> to <addr>:<port> size <bytes> raw hex <hex> at <us>      (with --raw-hex)\n"
                       "<us> is the monotonic clock in microseconds."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("to"), QStringLiteral("Destination IPv4 address, unicast or multicast (default 239.1.2.3)."),
            QStringLiteral("address"), QStringLiteral("239.1.2.3")},
        {QStringLiteral("port"), QStringLiteral("Destination port (default 8900)."), QStringLiteral("port"),
            QStringLiteral("8900")},
        {QStringLiteral("address"),
            QStringLiteral("Display address counted from 0 (0-127); 128-255 is taken as the header byte itself."),
            QStringLiteral("n")},
        {QStringLiteral("vtid"),
            QStringLiteral("Display address counted from 1, the receiver's VT ID (default 1; 0 gives header 0x7f)."),
            QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("header"), QStringLiteral("Byte 0 exactly as given (0-255)."), QStringLiteral("byte")},
        {QStringLiteral("tally"),
            QStringLiteral("off, red, green, both, or the whole byte 20 as a number (default red)."),
            QStringLiteral("value"), QStringLiteral("red")},
        {QStringLiteral("text"), QStringLiteral("Display text, cut or padded to 16 characters (default Brenvale)."),
            QStringLiteral("text"), QStringLiteral("Brenvale")},
        {QStringLiteral("short"), QStringLiteral("Leave out byte 21: send the 21-byte form.")},
        {QStringLiteral("count"), QStringLiteral("Number of datagrams; 0 sends until stopped (default 1)."),
            QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("rate"), QStringLiteral("Datagrams per second, steadily paced (default 10)."),
            QStringLiteral("per-second"), QStringLiteral("10")},
        {QStringLiteral("raw-hex"), QStringLiteral("Send these bytes instead of a tally packet (e.g. 80 00 41)."),
            QStringLiteral("hex")},
        {QStringLiteral("ttl"), QStringLiteral("Multicast hop limit (default 1)."), QStringLiteral("hops"),
            QStringLiteral("1")},
    });
    ToolLifetime::addOptions(parser);
    parser.process(app);
    ToolArgs::rejectPositionals(parser);

    TslSource::Settings settings;
    settings.to = ToolArgs::ipv4(parser, QStringLiteral("to"));
    settings.port = ToolArgs::port(parser, QStringLiteral("port"));
    settings.ttl = static_cast<int>(ToolArgs::integer(parser, QStringLiteral("ttl"), 0, 255));
    settings.count = ToolArgs::integer(parser, QStringLiteral("count"), 0, std::numeric_limits<int>::max());
    settings.perSecond = ToolArgs::number(parser, QStringLiteral("rate"), 0.001, 100000.0);
    if (parser.isSet(QStringLiteral("raw-hex"))) {
        settings.packet = ToolArgs::hexBytes(parser, QStringLiteral("raw-hex"));
        settings.description = QStringLiteral("raw");
    } else {
        const quint8 header = headerByte(parser);
        const quint8 tally = tallyByte(parser);
        const QByteArray text = parser.value(QStringLiteral("text")).toUtf8();
        settings.packet = TslSource::buildPacket(header, tally, text, !parser.isSet(QStringLiteral("short")));
        settings.description = QStringLiteral("header 0x%1 vtid %2 tally %3 text ")
                                   .arg(header, 2, 16, QLatin1Char('0'))
                                   .arg(int(header) - 128 + 1)
                                   .arg(TslSource::tallyName(tally))
            + ToolOutput::quoted(settings.packet.mid(2, 16));
    }

    ToolLifetime lifetime;
    lifetime.start(parser);
    TslSource source(settings);
    QObject::connect(&source, &TslSource::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!source.start())
        return 1;
    return app.exec();
}
