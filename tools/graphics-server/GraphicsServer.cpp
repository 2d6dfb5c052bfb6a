// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "GraphicsServer.h"

#include "ToolOutput.h"

#include <QJsonDocument>
#include <QTcpSocket>

GraphicsServer::GraphicsServer(const Settings &settings, QObject *parent) : QObject(parent), m_settings(settings)
{
    connect(&m_server, &QTcpServer::newConnection, this, &GraphicsServer::acceptPending);
}

bool GraphicsServer::start()
{
    if (!m_settings.recordPath.isEmpty()) {
        m_record.setFileName(m_settings.recordPath);
        if (!m_record.open(QIODevice::WriteOnly | QIODevice::Append)) {
            ToolOutput::status(QStringLiteral("cannot open %1: %2").arg(m_settings.recordPath, m_record.errorString()));
            return false;
        }
    }
    if (!m_server.listen(m_settings.bindAddress, m_settings.port)) {
        ToolOutput::status(
            QStringLiteral("cannot listen on %1: %2")
                .arg(ToolOutput::endpoint(m_settings.bindAddress, m_settings.port), m_server.errorString()));
        return false;
    }
    ToolOutput::status(
        QStringLiteral("listening on %1").arg(ToolOutput::endpoint(m_settings.bindAddress, m_server.serverPort())));
    return true;
}

void GraphicsServer::acceptPending()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *connection = new HttpConnection(socket, m_settings.answer, this);
        const QString peer = connection->peer();
        ToolOutput::status(QLatin1String("connection from ") + peer);
        connect(connection, &HttpConnection::requestReceived, this, &GraphicsServer::report);
        connect(connection, &HttpConnection::closed, this, [connection, peer] {
            ToolOutput::status(QLatin1String("connection from ") + peer + QLatin1String(" closed"));
            connection->deleteLater();
        });
        connection->start();
    }
}

void GraphicsServer::report(const QJsonObject &request)
{
    const QByteArray line = QJsonDocument(request).toJson(QJsonDocument::Compact);
    ToolOutput::event(QString::fromUtf8(line));
    if (m_record.isOpen()) {
        m_record.write(line + '\n');
        m_record.flush();
    }
}
