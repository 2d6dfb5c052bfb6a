// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Remote control over the session bus: other programs and scripts send an (event class,
// event ID) pair, which goes to the handler on the GUI thread; the handler's answer (handled
// or not) is the reply.
//
//   bus name     org.brenvale.Control
//   object path  /Control
//   interface    org.brenvale.Control
//   method       HandleEvent(eventClass: s, eventID: s) -> handled: b
//
// For example, from a shell:
//   gdbus call --session --dest org.brenvale.Control --object-path /Control
//       --method org.brenvale.Control.HandleEvent Bvrq Rel0
class RemoteControl : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.brenvale.Control")

public:
    using Handler = std::function<bool(const QString &eventClass, const QString &eventID)>;

    static const QString serviceName;
    static const QString objectPath;

    explicit RemoteControl(QObject *parent = nullptr);
    ~RemoteControl() override;

    // Publishes the service on the session bus. Without a session bus, or when the name or the
    // object path is already taken, it writes one line to the system log and returns false;
    // the program goes on without remote control. A second call only replaces the handler.
    // An error escaping the handler is reported under handlerName.
    bool start(Handler handler, const char *handlerName = "RemoteControl::HandleEvent");

    bool isActive() const { return m_active; }

public Q_SLOTS:
    // The bus method. The strings come as they were sent: no trimming, no case folding.
    // An error escaping the handler is reported like any unhandled error and answered false.
    Q_SCRIPTABLE bool HandleEvent(const QString &eventClass, const QString &eventID);

private:
    Handler m_handler;
    const char *m_handlerName = nullptr;
    bool m_active = false;
};
