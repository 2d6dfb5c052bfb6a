// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The main window on a host with two interfaces whose group route leaves by the second, beside
// a stranger in a namespace of its own: our own announcements come back from the route's
// address, which is not the one address the platform names.
#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/HostNetwork.h"
#include "core/trigger/TriggerController.h"
#include "gui/windows/Window1.h"
#include "support/gui/GuiTestKit.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestWindowPeerGroup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ownAnnouncementsAreNotStrangers();
    void cleanupTestCase();

private:
    QString m_namespace;
    QProcess m_stranger;
};

void TestWindowPeerGroup::ownAnnouncementsAreNotStrangers()
{
    if (geteuid() != 0)
        QSKIP("Building a second network namespace needs root.");
    m_namespace = QStringLiteral("brvpg%1").arg(QCoreApplication::applicationPid());
    // The links live in the test's own namespace, which no other test shares.
    const QString script = QStringLiteral(R"(set -e
ip netns add %1
ip link add brvpg1 type veth peer name brvpg1x
ip addr add 10.77.1.12/24 dev brvpg1
ip link set brvpg1x up
ip link set brvpg1 up
ip link add brvpg2 type veth peer name veth0 netns %1
ip addr add 10.77.0.12/24 dev brvpg2
ip link set brvpg2 up
ip route replace 224.0.0.0/4 dev brvpg2
ip -n %1 link set lo up
ip -n %1 addr add 10.77.0.20/24 dev veth0
ip -n %1 link set veth0 up
ip -n %1 route add 224.0.0.0/4 dev veth0
)")
                               .arg(m_namespace);
    QCOMPARE(QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), script}), 0);
    QCOMPARE(HostNetwork::primaryIPv4Address(), QStringLiteral("10.77.1.12"));

    QTemporaryDir home;
    GuiTestKit::setUpPreferences({{QStringLiteral("IPAddr"), QString()}, {QStringLiteral("chrWorksIP"), QString()},
        {QStringLiteral("chrWorksIPBup"), QString()}, {QStringLiteral("LogPath"), home.path() + QLatin1Char('/')}});
    Window1 *window = Window1::instance();
    QVERIFY(window && window->controller()->ChatSocket->IsConnected());
    QSignalSpy joined(window->controller()->ChatSocket, &AutoDiscovery::MemberJoined);
    const auto joinRows
        = [window] { return GuiTestKit::screenMessages(window->Log).filter(QStringLiteral(" Joined")); };

    // The announcement at opening and the answer to our own roll call.
    QTRY_COMPARE_WITH_TIMEOUT(joined.count(), 2, 5000);
    QCOMPARE(joined.at(0).at(0).toString(), QStringLiteral("10.77.0.12"));
    QCOMPARE(joined.at(1).at(0).toString(), QStringLiteral("10.77.0.12"));
    QCOMPARE(joinRows(), QStringList());

    // A member on the other host is a stranger.
    m_stranger.start(QStringLiteral("ip"),
        {QStringLiteral("netns"), QStringLiteral("exec"), m_namespace,
            qEnvironmentVariable("BRENVALE_BUILD_DIR") + QStringLiteral("/tests/groupmsg/groupmsg_peer_host")});
    QTRY_COMPARE_WITH_TIMEOUT(joinRows(), QStringList {QStringLiteral("10.77.0.20 Joined Group")}, 10000);
    window->close();
}

void TestWindowPeerGroup::cleanupTestCase()
{
    m_stranger.kill();
    m_stranger.waitForFinished(5000);
    if (!m_namespace.isEmpty())
        QProcess::execute(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), m_namespace});
}

QTEST_MAIN(TestWindowPeerGroup)
#include "TestWindowPeerGroup.moc"
