// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "HttpConnection.h"

#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

// A graphics server that takes HTTP requests: prints each as one JSON line, optionally
// appends it to a record file, and answers as configured.
class GraphicsServer : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
        quint16 port = 5201;
        HttpConnection::Answer answer;
        QString recordPath; // empty: no record file
    };

    explicit GraphicsServer(const Settings &settings, QObject *parent = nullptr);

    // False (with a message) when the port cannot be bound or the record file not opened.
    bool start();

private:
    void acceptPending();
    void report(const QJsonObject &request);

    Settings m_settings;
    QTcpServer m_server;
    QFile m_record;
};
