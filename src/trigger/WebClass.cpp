// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "WebClass.h"

#include "DebugLog.h"
#include "ErrorReport.h"
#include "Exceptions.h"
#include "Window1.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopeGuard>
#include <QUrl>

WebClass::WebClass(QNetworkAccessManager *manager, QObject *parent) : QObject(parent), m_manager(manager) {}

WebClass::~WebClass()
{
    if (m_reply)
        m_reply->abort();
}

QNetworkAccessManager *WebClass::sharedManager()
{
    static QNetworkAccessManager *manager = [] {
        auto *created = new QNetworkAccessManager();
        created->setProxy(QNetworkProxy::NoProxy);
        created->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        return created;
    }();
    return manager;
}

void WebClass::SetRequestContent(const QByteArray &content, const QString &mimeType)
{
    m_content = content;
    m_mimeType = mimeType;
}

void WebClass::Send(const QString &method, const QString &url, int timeoutSeconds)
{
    const QUrl target(url, QUrl::StrictMode);
    if (!target.isValid() || target.host().isEmpty() || target.scheme() != QLatin1String("http"))
        throw RuntimeException(QStringLiteral("Invalid URL \"%1\"").arg(url));

    QNetworkRequest request(target);
    request.setHeader(QNetworkRequest::ContentTypeHeader, m_mimeType);
    request.setTransferTimeout(timeoutSeconds * 1000);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    m_reply = m_manager->sendCustomRequest(request, method.toLatin1(), m_content);
    if (!m_reply)
        throw RuntimeException(QStringLiteral("Could not start the request to %1").arg(url));
    connect(m_reply, &QNetworkReply::finished, this, [this] { ErrorReport::guarded("WebClass", [this] { finished(); }); });
}

void WebClass::Disconnect()
{
    if (m_reply) {
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void WebClass::finished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    // Whatever happens in the handlers, this connection is done.
    const auto cleanUp = qScopeGuard([this, reply] {
        reply->deleteLater();
        deleteLater();
    });
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        Event_ContentReceived(reply->url().toString(), status.toInt(), reply->readAll());
        return;
    }
    Event_Error(reply->errorString());
}

void WebClass::Event_ContentReceived(const QString &, int, const QByteArray &content)
{
    if (content.left(4).compare("http", Qt::CaseInsensitive) == 0)
        DebugLog(QString::fromUtf8(content));
    Disconnect();
}

void WebClass::Event_Error(const QString &message)
{
    if (Window1 *window = Window1::instance())
        window->LogCommand(QStringLiteral("Error ") + message);
}
