// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "PeerProbe.h"
#include "ToolArgs.h"
#include "ToolLifetime.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <limits>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brenvale-peer-probe"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watches a peer group: joins its multicast address and prints every datagram and the\n"
                       "messages in it (big-endian int32 length with the 8-byte header, int32 command, data):\n"
                       "  datagram from <addr>:<port> size <bytes> at <us>\n"
                       "  message from <addr>:<port> command <c> length <l> data \"<bytes>\" at <us>\n"
                       "  fragment from <addr>:<port> size <bytes> data \"<bytes>\" at <us>   (no whole message)\n"
                       "and, when sending:\n"
                       "  sent <n> to <addr>:<port> command <c> length <l> data \"<bytes>\" at <us>\n"
                       "  sent <n> to <addr>:<port> size <bytes> raw hex <hex> at <us>\n"
                       "<us> is the monotonic clock in microseconds. The port is bound shared, so run the probe\n"
                       "in another network namespace than a program that binds it alone.\n"
                       "With --send or --raw-hex it quits after the last datagram unless --listen is given."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("group"), QStringLiteral("Multicast group to join (required, dotted IPv4)."),
            QStringLiteral("address")},
        {QStringLiteral("port"), QStringLiteral("UDP port (default 8083)."), QStringLiteral("port"),
            QStringLiteral("8083")},
        {QStringLiteral("send"), QStringLiteral("Send a message with this command (signed 32-bit)."),
            QStringLiteral("command")},
        {QStringLiteral("data"), QStringLiteral("Data of the message sent (default empty)."), QStringLiteral("text")},
        {QStringLiteral("raw-hex"), QStringLiteral("Send these bytes as the datagram instead of a message."),
            QStringLiteral("hex")},
        {QStringLiteral("to"), QStringLiteral("Send to this IPv4 address instead of the group."),
            QStringLiteral("address")},
        {QStringLiteral("count"), QStringLiteral("Number of datagrams to send; 0 until stopped (default 1)."),
            QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("rate"), QStringLiteral("Datagrams per second, steadily paced (default 10)."),
            QStringLiteral("per-second"), QStringLiteral("10")},
        {QStringLiteral("ttl"), QStringLiteral("Multicast hop limit of what is sent (default 1)."),
            QStringLiteral("hops"), QStringLiteral("1")},
        {QStringLiteral("listen"), QStringLiteral("Keep listening after sending.")},
    });
    ToolLifetime::addOptions(parser);
    parser.process(app);
    ToolArgs::rejectPositionals(parser);

    if (!parser.isSet(QStringLiteral("group")))
        ToolArgs::usageError(QStringLiteral("--group is required"));
    PeerProbe::Settings settings;
    settings.group = ToolArgs::ipv4(parser, QStringLiteral("group"));
    if (!settings.group.isMulticast())
        ToolArgs::usageError(QStringLiteral("--group wants a multicast address (224.0.0.0 to 239.255.255.255)"));
    settings.port = ToolArgs::port(parser, QStringLiteral("port"));
    settings.ttl = static_cast<int>(ToolArgs::integer(parser, QStringLiteral("ttl"), 0, 255));
    if (parser.isSet(QStringLiteral("send")) && parser.isSet(QStringLiteral("raw-hex")))
        ToolArgs::usageError(QStringLiteral("give only one of --send and --raw-hex"));
    if (parser.isSet(QStringLiteral("send"))) {
        settings.sends = true;
        settings.command = static_cast<qint32>(ToolArgs::integer(
            parser, QStringLiteral("send"), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
        settings.data = parser.value(QStringLiteral("data")).toUtf8();
    } else if (parser.isSet(QStringLiteral("raw-hex"))) {
        settings.sends = true;
        settings.raw = true;
        settings.data = ToolArgs::hexBytes(parser, QStringLiteral("raw-hex"));
    }
    settings.to = parser.isSet(QStringLiteral("to")) ? ToolArgs::ipv4(parser, QStringLiteral("to")) : settings.group;
    settings.count = ToolArgs::integer(parser, QStringLiteral("count"), 0, std::numeric_limits<int>::max());
    settings.perSecond = ToolArgs::number(parser, QStringLiteral("rate"), 0.001, 100000.0);

    ToolLifetime lifetime;
    lifetime.start(parser);
    PeerProbe probe(settings);
    if (!parser.isSet(QStringLiteral("listen")))
        QObject::connect(&probe, &PeerProbe::sendingFinished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!probe.start())
        return 1;
    return app.exec();
}
