// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/WebClass.h"

#include "core/platform/DebugLog.h"
#include "core/platform/ErrorReport.h"

#include <QScopeGuard>
#include <QUrl>

WebClass::WebClass(HttpClient *client, QObject *parent) : QObject(parent), m_client(client) { }

WebClass::~WebClass()
{
    Disconnect();
}

void WebClass::SetRequestContent(const QByteArray &content, const QString &mimeType)
{
    m_content = content;
    m_mimeType = mimeType;
}

Result<> WebClass::sendRequest(const QString &method, const QString &url, int timeoutSeconds)
{
    const QUrl target(url, QUrl::StrictMode);
    if (!target.isValid() || target.host().isEmpty() || target.scheme() != QLatin1String("http"))
        return Result<>::failure(QStringLiteral("Invalid URL \"%1\"").arg(url));
    if (!m_client)
        return Result<>::failure(QStringLiteral("Could not start the request to %1").arg(url));

    const HttpClient::Request request {
        method.toLatin1(), target.toEncoded(), m_mimeType.toLatin1(), m_content, std::chrono::seconds(timeoutSeconds)};
    m_url = target.toString();
    const Result<quint64> started = m_client->start(request, [this](const HttpClient::Outcome &outcome) {
        ErrorReport::guarded("WebClass", [this, &outcome] { finished(outcome); });
    });
    if (!started.ok())
        return Result<>::failure(started.error());
    m_request = started.value();
    // Nobody holds a started connection: it goes after its outcome, or with the client.
    if (!parent())
        setParent(m_client);
    return {};
}

void WebClass::Disconnect()
{
    if (m_request && m_client)
        m_client->cancel(m_request);
    m_request = 0;
}

void WebClass::finished(const HttpClient::Outcome &outcome)
{
    m_request = 0;
    // Whatever happens in the handlers, this connection is done.
    const auto cleanUp = qScopeGuard([this] { deleteLater(); });
    if (outcome.answered)
        Event_ContentReceived(m_url, outcome.status, outcome.content);
    else
        Event_Error(outcome.error);
}

void WebClass::Event_ContentReceived(const QString &, int, const QByteArray &content)
{
    if (content.left(4).compare("http", Qt::CaseInsensitive) == 0)
        DebugLog(QString::fromUtf8(content));
    Disconnect();
}

void WebClass::Event_Error(const QString &message)
{
    Q_EMIT Failed(message);
}
