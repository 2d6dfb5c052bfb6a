// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "HttpConnection.h"

#include "ToolOutput.h"

#include <QTcpSocket>

namespace {

// Bounds that keep a misbehaving client from growing the buffer without end.
constexpr qsizetype maxHeadBytes = 64 * 1024;
constexpr qint64 maxBodyBytes = 64 * 1024 * 1024;

const QByteArray headEnd = QByteArrayLiteral("\r\n\r\n");

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, const Answer &answer, QObject *parent)
    : QObject(parent), m_socket(socket), m_answer(answer),
      m_peer(ToolOutput::endpoint(socket->peerAddress(), socket->peerPort()))
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readAvailable);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::closed);
}

void HttpConnection::start()
{
    // Data may have arrived before the socket was handed over.
    readAvailable();
}

void HttpConnection::readAvailable()
{
    const QByteArray data = m_socket->readAll();
    // A stalled connection takes no further requests; what the client sends is dropped.
    if (m_stalled || m_closing)
        return;
    m_buffer += data;
    for (;;) {
        if (!m_haveHead && !takeHead())
            return;
        if (!takeBody())
            return;
        if (m_stalled || m_closing)
            return;
    }
}

// Reads the request line and the headers once they are complete; false while they are not,
// or when the request was refused.
bool HttpConnection::takeHead()
{
    const qsizetype end = m_buffer.indexOf(headEnd);
    if (end < 0) {
        if (m_buffer.size() > maxHeadBytes)
            refuse(431, QStringLiteral("request head too large"));
        return false;
    }
    const QList<QByteArray> lines = m_buffer.left(end).split('\n');
    m_buffer.remove(0, end + headEnd.size());

    const QList<QByteArray> requestLine = lines.constFirst().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/1.")) {
        refuse(400, QStringLiteral("malformed request line"));
        return false;
    }
    m_method = QString::fromLatin1(requestLine.at(0));
    m_path = QString::fromUtf8(requestLine.at(1));
    const bool http10 = requestLine.at(2) == "HTTP/1.0";

    m_headers = QJsonObject();
    QByteArray lengthText;
    bool expectContinue = false;
    QByteArray connection;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.startsWith(' ') || line.startsWith('\t')) {
            refuse(400, QStringLiteral("malformed header line"));
            return false;
        }
        const QString name = QString::fromLatin1(line.left(colon).trimmed()).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        const QString valueText = QString::fromUtf8(value);
        // Repeated fields are one field with the values joined by commas.
        if (m_headers.contains(name))
            m_headers.insert(name, m_headers.value(name).toString() + QLatin1String(", ") + valueText);
        else
            m_headers.insert(name, valueText);
        if (name == QLatin1String("content-length")) {
            if (!lengthText.isEmpty() && lengthText != value) {
                refuse(400, QStringLiteral("conflicting Content-Length"));
                return false;
            }
            lengthText = value;
        } else if (name == QLatin1String("transfer-encoding")) {
            refuse(501, QStringLiteral("Transfer-Encoding is not supported"));
            return false;
        } else if (name == QLatin1String("expect")) {
            expectContinue = value.compare("100-continue", Qt::CaseInsensitive) == 0;
        } else if (name == QLatin1String("connection")) {
            connection = value.toLower();
        }
    }

    m_bodyLength = 0;
    if (!lengthText.isEmpty()) {
        bool ok = false;
        m_bodyLength = lengthText.toLongLong(&ok);
        if (!ok || m_bodyLength < 0) {
            refuse(400, QStringLiteral("bad Content-Length"));
            return false;
        }
        if (m_bodyLength > maxBodyBytes) {
            refuse(413, QStringLiteral("body too large"));
            return false;
        }
    }
    m_closeAfter = http10 ? !connection.contains("keep-alive") : connection.contains("close");
    m_haveHead = true;
    if (expectContinue && !m_answer.stall && m_buffer.size() < m_bodyLength)
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    return true;
}

// Completes the request once its body is in, reports it and answers; false while waiting.
bool HttpConnection::takeBody()
{
    if (m_buffer.size() < m_bodyLength)
        return false;
    const QByteArray body = m_buffer.left(m_bodyLength);
    m_buffer.remove(0, m_bodyLength);
    m_haveHead = false;

    QJsonObject request;
    request.insert(QStringLiteral("method"), m_method);
    request.insert(QStringLiteral("path"), m_path);
    request.insert(QStringLiteral("headers"), m_headers);
    request.insert(QStringLiteral("body"), QString::fromUtf8(body));
    request.insert(QStringLiteral("length"), body.size());
    request.insert(QStringLiteral("peer"), m_peer);
    request.insert(QStringLiteral("at"), ToolOutput::nowMicros());
    Q_EMIT requestReceived(request);

    if (m_answer.stall) {
        m_stalled = true;
        m_buffer.clear();
        ToolOutput::status(QLatin1String("stalling ") + m_peer);
        return true;
    }
    respond(m_answer.status, m_answer.body, m_closeAfter);
    return true;
}

void HttpConnection::respond(int status, const QByteArray &body, bool close)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Content-Type: text/plain; charset=utf-8\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += "\r\n";
    m_socket->write(head + body);
    if (close) {
        m_closing = true;
        m_buffer.clear();
        // Sends what is buffered, then closes.
        m_socket->disconnectFromHost();
    }
}

void HttpConnection::refuse(int status, const QString &why)
{
    ToolOutput::status(QLatin1String("refusing request from ") + m_peer + QLatin1String(": ") + why);
    respond(status, why.toUtf8(), true);
}
