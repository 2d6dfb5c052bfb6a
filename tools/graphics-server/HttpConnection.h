// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

class QTcpSocket;

// One client connection of the graphics-server simulator: reads HTTP/1.x requests with
// Content-Length bodies (several in a row on a kept-alive connection), reports each one and
// answers it with the configured status and body, or never answers when stalling.
class HttpConnection : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        bool stall = false;
    };

    // Takes over socket (it becomes a child of this object).
    HttpConnection(QTcpSocket *socket, const Answer &answer, QObject *parent = nullptr);

    // Call once the signals are connected.
    void start();
    QString peer() const { return m_peer; }

Q_SIGNALS:
    // method, path, headers (names in lower case), body, length (body bytes), peer, at.
    void requestReceived(const QJsonObject &request);
    void closed();

private:
    void readAvailable();
    bool takeHead();
    bool takeBody();
    void respond(int status, const QByteArray &body, bool close);
    void refuse(int status, const QString &why);

    QTcpSocket *m_socket;
    Answer m_answer;
    QString m_peer;
    QByteArray m_buffer;
    bool m_haveHead = false;
    bool m_stalled = false;
    bool m_closing = false;
    // The request whose head has been read and whose body is awaited.
    QString m_method;
    QString m_path;
    QJsonObject m_headers;
    qint64 m_bodyLength = 0;
    bool m_closeAfter = false;
};
