// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/HttpClient.h"
#include "core/platform/Result.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

// One HTTP connection to a graphics server. Any HTTP answer, whatever its status, arrives as
// content (at most HttpClient::contentCap bytes of it); a failure before the answer is complete
// (a timeout included) arrives as an error. A started connection deletes itself once its answer
// or error has been handled.
class WebClass : public QObject
{
    Q_OBJECT
public:
    explicit WebClass(HttpClient *client, QObject *parent = nullptr);
    ~WebClass() override;

    void SetRequestContent(const QByteArray &content, const QString &mimeType);
    // Starts the request and returns at once, or says why it could not start (a URL that cannot
    // be requested, say). A started request ends within timeoutSeconds of this call.
    Result<> sendRequest(const QString &method, const QString &url, int timeoutSeconds);
    void Disconnect();

Q_SIGNALS:
    // A failure before the answer was complete, a timeout included; raised once at most.
    void Failed(const QString &message);

protected:
    virtual void Event_ContentReceived(const QString &url, int httpStatus, const QByteArray &content);
    virtual void Event_Error(const QString &message);

private:
    void finished(const HttpClient::Outcome &outcome);

    QPointer<HttpClient> m_client;
    quint64 m_request = 0; // 0 while none runs
    QString m_url;
    QByteArray m_content;
    QString m_mimeType;
};
