// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "RelayBox.h"
#include "ToolArgs.h"
#include "ToolLifetime.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brenvale-relay-box"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A relay box on UDP: prints each command and answers it from its own port to the\n"
                       "sender's address and port. Prints, on standard output:\n"
                       "  command from <addr>:<port> \"<bytes>\" at <us>\n"
                       "  reply to <addr>:<port> \"<bytes>\" at <us>\n"
                       "Bytes are shown with \\\\ \\\" \\n \\r \\t and \\xHH escapes; <us> is the monotonic clock in\n"
                       "microseconds. \"listening on <addr>:<port>\" goes to standard error once bound."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("bind"), QStringLiteral("Local IPv4 address to listen on (default 0.0.0.0)."),
            QStringLiteral("address"), QStringLiteral("0.0.0.0")},
        {QStringLiteral("port"), QStringLiteral("UDP port (default 5000)."), QStringLiteral("port"),
            QStringLiteral("5000")},
        {QStringLiteral("reply"), QStringLiteral("Text sent back for every command (default 1)."),
            QStringLiteral("text"), QStringLiteral("1")},
        {QStringLiteral("no-reply"), QStringLiteral("Answer nothing.")},
    });
    ToolLifetime::addOptions(parser);
    parser.process(app);
    ToolArgs::rejectPositionals(parser);

    RelayBox::Settings settings;
    settings.bindAddress = ToolArgs::ipv4(parser, QStringLiteral("bind"));
    settings.port = ToolArgs::port(parser, QStringLiteral("port"));
    settings.reply = parser.value(QStringLiteral("reply")).toUtf8();
    settings.replies = !parser.isSet(QStringLiteral("no-reply"));

    ToolLifetime lifetime;
    lifetime.start(parser);
    RelayBox box(settings);
    if (!box.start())
        return 1;
    return app.exec();
}
