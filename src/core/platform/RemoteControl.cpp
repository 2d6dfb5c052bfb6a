// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/RemoteControl.h"

#include "core/platform/DebugLog.h"
#include "core/platform/ErrorReport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

const QString RemoteControl::serviceName = QStringLiteral("org.brenvale.Control");
const QString RemoteControl::objectPath = QStringLiteral("/Control");

RemoteControl::RemoteControl(QObject *parent) : QObject(parent) { }

RemoteControl::~RemoteControl()
{
    if (!m_active)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(objectPath);
    bus.unregisterService(serviceName);
}

bool RemoteControl::start(Handler handler, const char *handlerName)
{
    m_handler = std::move(handler);
    m_handlerName = handlerName;
    if (m_active)
        return true;

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const QString reason = bus.lastError().isValid() ? bus.lastError().message() : QString();
        DebugLog(reason.isEmpty() ? QStringLiteral("Remote control unavailable: no session bus")
                                  : QStringLiteral("Remote control unavailable: no session bus (%1)").arg(reason));
        return false;
    }

    // Take the object path first: should it be in use, the name was never claimed and
    // nothing has to be undone.
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots)) {
        DebugLog(QStringLiteral("Remote control unavailable: the object path %1 is in use").arg(objectPath));
        return false;
    }
    // Without queueing: when another program holds the name we give up rather than wait.
    QDBusConnectionInterface *busInterface = bus.interface();
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = busInterface
        ? busInterface->registerService(
            serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement)
        : QDBusReply<QDBusConnectionInterface::RegisterServiceReply>(
            QDBusError(QDBusError::Disconnected, QStringLiteral("no bus interface")));
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(objectPath);
        const QString reason
            = reply.isValid() ? QStringLiteral("the name %1 is taken").arg(serviceName) : reply.error().message();
        DebugLog(QStringLiteral("Remote control unavailable: %1").arg(reason));
        return false;
    }

    m_active = true;
    return true;
}

bool RemoteControl::HandleEvent(const QString &eventClass, const QString &eventID)
{
    if (!m_handler)
        return false;
    bool handled = false;
    ErrorReport::guarded(m_handlerName, [&] { handled = m_handler(eventClass, eventID); });
    return handled;
}
