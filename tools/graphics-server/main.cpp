// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "GraphicsServer.h"
#include "ToolArgs.h"
#include "ToolLifetime.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brenvale-graphics-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A graphics server on HTTP/1.1: prints each request as one JSON line on standard output,\n"
                       "  {\"at\":<us>,\"body\":\"<text>\",\"headers\":{\"<lower-case name>\":\"<value>\",...},\n"
                       "   \"length\":<body bytes>,\"method\":\"POST\",\"path\":\"/\",\"peer\":\"<addr>:<port>\"}\n"
                       "and answers it. <us> is the monotonic clock in microseconds. Connections, closes and\n"
                       "\"listening on <addr>:<port>\" go to standard error. Bodies need Content-Length."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("bind"), QStringLiteral("Local IPv4 address to listen on (default 0.0.0.0)."),
            QStringLiteral("address"), QStringLiteral("0.0.0.0")},
        {QStringLiteral("port"), QStringLiteral("TCP port (default 5201)."), QStringLiteral("port"),
            QStringLiteral("5201")},
        {QStringLiteral("status"), QStringLiteral("HTTP status of every answer, 200-599 (default 200)."),
            QStringLiteral("code"), QStringLiteral("200")},
        {QStringLiteral("body"), QStringLiteral("Body of every answer (default empty)."), QStringLiteral("text")},
        {QStringLiteral("stall"), QStringLiteral("Read requests but never answer, keeping the connection open.")},
        {QStringLiteral("record"), QStringLiteral("Also append each JSON line to this file."), QStringLiteral("file")},
    });
    ToolLifetime::addOptions(parser);
    parser.process(app);
    ToolArgs::rejectPositionals(parser);

    GraphicsServer::Settings settings;
    settings.bindAddress = ToolArgs::ipv4(parser, QStringLiteral("bind"));
    settings.port = ToolArgs::port(parser, QStringLiteral("port"));
    settings.answer.status = static_cast<int>(ToolArgs::integer(parser, QStringLiteral("status"), 200, 599));
    settings.answer.body = parser.value(QStringLiteral("body")).toUtf8();
    settings.answer.stall = parser.isSet(QStringLiteral("stall"));
    settings.recordPath = parser.value(QStringLiteral("record"));

    ToolLifetime lifetime;
    lifetime.start(parser);
    GraphicsServer server(settings);
    if (!server.start())
        return 1;
    return app.exec();
}
