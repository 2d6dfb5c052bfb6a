// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

class QTcpServer;
class QTcpSocket;

// A graphics server for the tests: records every HTTP request it is sent and answers it with
// 200, 404 or not at all (a stalled server keeps the connection open and says nothing; a
// closing one closes it without a word).
class FakeGraphicsServer : public QObject
{
    Q_OBJECT
public:
    enum class Answer { Ok, NotFound, Stall, Close };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    explicit FakeGraphicsServer(QObject *parent = nullptr);
    ~FakeGraphicsServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    void setAnswer(Answer answer) { m_answer = answer; }
    const QList<Request> &requests() const { return m_requests; }
    int answered() const { return m_answered; }
    void clear();

Q_SIGNALS:
    void requestReceived();

private:
    void readFrom(QTcpSocket *socket);

    QTcpServer *m_server;
    Answer m_answer = Answer::Ok;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
    int m_answered = 0;
};
