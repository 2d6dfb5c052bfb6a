// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/ControlBus.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>

namespace ControlBus {
namespace {
QProcessEnvironment busEnvironment(const QString &busAddress)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    return env;
}
} // namespace

bool waitForService(const QString &busAddress, int timeoutMs)
{
    const QProcessEnvironment env = busEnvironment(busAddress);
    return QTest::qWaitFor(
        [&] {
            QProcess probe;
            probe.setProcessEnvironment(env);
            probe.start(QStringLiteral("gdbus"),
                {QStringLiteral("introspect"), QStringLiteral("--session"), QStringLiteral("--dest"),
                    QStringLiteral("org.brenvale.Control"), QStringLiteral("--object-path"),
                    QStringLiteral("/Control")});
            return probe.waitForFinished(5000) && probe.exitCode() == 0;
        },
        timeoutMs);
}

QString callHandleEvent(const QString &busAddress, const QString &eventClass, const QString &eventID)
{
    QProcess gdbus;
    gdbus.setProcessEnvironment(busEnvironment(busAddress));
    gdbus.setProcessChannelMode(QProcess::MergedChannels);
    gdbus.start(QStringLiteral("gdbus"),
        {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--timeout"), QStringLiteral("10"),
            QStringLiteral("--dest"), QStringLiteral("org.brenvale.Control"), QStringLiteral("--object-path"),
            QStringLiteral("/Control"), QStringLiteral("--method"), QStringLiteral("org.brenvale.Control.HandleEvent"),
            eventClass, eventID});
    if (!gdbus.waitForFinished(15000)) {
        gdbus.kill();
        gdbus.waitForFinished(3000);
        return QStringLiteral("<gdbus did not finish>");
    }
    return QString::fromUtf8(gdbus.readAll()).trimmed();
}

} // namespace ControlBus
