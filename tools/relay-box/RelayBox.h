// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

// A relay box on UDP: prints every command it receives and answers each one with a fixed
// reply, sent back to the address and port the command came from.
class RelayBox : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
        quint16 port = 5000;
        bool replies = true;
        QByteArray reply = "1";
    };

    explicit RelayBox(const Settings &settings, QObject *parent = nullptr);

    // False (with a message) when the port cannot be bound.
    bool start();

private:
    void readPending();

    Settings m_settings;
    QUdpSocket m_socket;
};
