// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "Pacer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

// A TSL UMD 4.0 tally source: sends one prepared datagram a number of times at a steady rate
// and prints a line for every datagram that went out.
class TslSource : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QHostAddress to;
        quint16 port = 8900;
        int ttl = 1;
        qint64 count = 1; // 0: until stopped
        double perSecond = 10.0;
        QByteArray packet;
        QString description; // what the line says about the packet, before its hex dump
    };

    // Display data of a TSL UMD 4.0 message: header (0x80 + display address), control,
    // 16 characters of text, checksum, VBC, then the XDATA bytes for the left and (unless
    // withRightXdata is false) the right tally.
    static QByteArray buildPacket(quint8 header, quint8 tally, const QByteArray &text, bool withRightXdata);
    static QString tallyName(quint8 tally);

    TslSource(const Settings &settings, QObject *parent = nullptr);

    // False (with a message) when the socket cannot be opened.
    bool start();

Q_SIGNALS:
    void finished();

private:
    void send(qint64 number);

    Settings m_settings;
    QUdpSocket m_socket;
    Pacer m_pacer;
};
