// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// One HTTP connection to a graphics server. Any HTTP answer, whatever its status, arrives as
// content; a failure (a timeout included) arrives as an error. A started connection deletes
// itself once its answer or error has been handled.
class WebClass : public QObject
{
    Q_OBJECT
public:
    explicit WebClass(QNetworkAccessManager *manager, QObject *parent = nullptr);
    ~WebClass() override;

    void SetRequestContent(const QByteArray &content, const QString &mimeType);
    // Starts the request and returns at once; a URL that cannot be requested raises a
    // RuntimeException.
    void Send(const QString &method, const QString &url, int timeoutSeconds);
    void Disconnect();

    // The shared manager for graphics-server requests: no proxy between us and the servers.
    static QNetworkAccessManager *sharedManager();

protected:
    virtual void Event_ContentReceived(const QString &url, int httpStatus, const QByteArray &content);
    virtual void Event_Error(const QString &message);

private:
    void finished();

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_content;
    QString m_mimeType;
};
