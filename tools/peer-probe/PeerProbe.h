// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "Pacer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

// A member of a peer group that only watches: joins the group's multicast address, prints
// every datagram and the length-framed messages in it, and can send messages of its own.
class PeerProbe : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QHostAddress group;
        quint16 port = 8083;
        int ttl = 1;
        // Sending; nothing is sent when sends is false.
        bool sends = false;
        QHostAddress to; // the group unless given
        bool raw = false;
        qint32 command = 0;
        QByteArray data; // message data, or the whole datagram when raw
        qint64 count = 1;
        double perSecond = 10.0;
    };

    // One message: big-endian total length (header included), big-endian command, data.
    static QByteArray buildMessage(qint32 command, const QByteArray &data);

    explicit PeerProbe(const Settings &settings, QObject *parent = nullptr);

    // False (with a message) when the port cannot be bound or the group not joined.
    bool start();

Q_SIGNALS:
    void sendingFinished();

private:
    void readPending();
    void printDatagram(const QString &from, const QByteArray &bytes);
    void send(qint64 number);

    Settings m_settings;
    QUdpSocket m_socket;
    Pacer m_pacer;
};
