// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The peer group across three hosts: three network namespaces joined by veth pairs on a
// bridge, one group member (PeerGroupHost) in each, on the real port and group.
#include "support/Command.h"
#include "support/HostNamespaces.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <memory>

namespace {
// One member, driven through its standard input and output.
class Host
{
public:
    Host(const QString &netns, const QString &address) : m_address(address)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] {
            while (m_process.canReadLine())
                m_lines.append(QString::fromUtf8(m_process.readLine()).trimmed());
        });
        m_process.start(QStringLiteral("ip"),
            {QStringLiteral("netns"), QStringLiteral("exec"), netns,
                QCoreApplication::applicationDirPath() + QStringLiteral("/groupmsg_peer_host")});
    }
    ~Host()
    {
        if (m_process.state() != QProcess::NotRunning) {
            command(QStringLiteral("quit"));
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
    }
    const QString &address() const { return m_address; }
    const QStringList &lines() const { return m_lines; }
    qsizetype mark() const { return m_lines.size(); }
    QStringList linesSince(qsizetype mark) const { return m_lines.mid(mark); }
    int countSince(qsizetype mark, const QString &line) const { return int(linesSince(mark).count(line)); }
    void command(const QString &text) { m_process.write((text + u'\n').toUtf8()); }
    // The member list, sorted, as the member itself reports it.
    QStringList members()
    {
        const qsizetype from = mark();
        command(QStringLiteral("members"));
        if (!QTest::qWaitFor([&] { return membersLine(from) >= 0; }, 5000))
            return {QStringLiteral("<no answer>")};
        const qsizetype at = membersLine(from);
        if (at < 0)
            return {QStringLiteral("<no answer>")};
        QStringList list = m_lines.at(at).mid(8).split(u',', Qt::SkipEmptyParts);
        list.sort();
        return list;
    }

private:
    qsizetype membersLine(qsizetype from) const
    {
        for (qsizetype i = from; i < m_lines.size(); ++i)
            if (m_lines.at(i).startsWith(QLatin1String("members ")))
                return i;
        return -1;
    }

    QString m_address;
    QProcess m_process;
    QStringList m_lines;
};
} // namespace

class TestPeerGroupHosts : public QObject
{
    Q_OBJECT
public:
    TestPeerGroupHosts() : m_network(QString(), 0) { }
    ~TestPeerGroupHosts() override { removeNamespaces(); }

private Q_SLOTS:
    void initTestCase();
    void everyoneListsEveryone();
    void groupMessageReachesAllAndLoopsBack();
    void ownMessagesAfterAddressChange();
    void heardAgainAfterCardReplugged();
    void leaveIsReportedToOthersOnly();
    void cleanupTestCase();

private:
    void removeNamespaces();
    Host &host(int i) { return *m_hosts.at(i); }

    HostNamespaces m_network;
    std::vector<std::unique_ptr<Host>> m_hosts;
};

void TestPeerGroupHosts::initTestCase()
{
    const QString unavailable = HostNamespaces::unavailableReason();
    if (!unavailable.isEmpty())
        QSKIP(qPrintable(unavailable));

    // The three hosts, each on a veth whose other end is on the bridge, 10.99.0.1 to 10.99.0.3.
    const QStringList names = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    QVERIFY2(m_network.create(names), qPrintable(m_network.errorString()));

    // Start the members one after another, each once the previous one is up.
    int i = 0;
    for (const QString &n : names) {
        ++i;
        m_hosts.push_back(std::make_unique<Host>(m_network.namespaceOf(n), QStringLiteral("10.99.0.%1").arg(i)));
        Host &h = *m_hosts.back();
        QTRY_VERIFY_WITH_TIMEOUT(!h.lines().isEmpty(), 10000);
        QCOMPARE(h.lines().first(), QStringLiteral("ready ") + h.address());
    }
    // Each announcement reached those already there, and came back to its sender.
    const QString joinedC = QStringLiteral("joined 10.99.0.3");
    for (int k = 0; k < 3; ++k)
        QTRY_COMPARE(host(k).countSince(0, joinedC), 1);
    QTRY_COMPARE(host(0).countSince(0, QStringLiteral("joined 10.99.0.2")), 1);
    QCOMPARE(host(0).countSince(0, QStringLiteral("joined 10.99.0.1")), 1);
}

void TestPeerGroupHosts::everyoneListsEveryone()
{
    const QStringList all = {QStringLiteral("10.99.0.1"), QStringLiteral("10.99.0.2"), QStringLiteral("10.99.0.3")};
    for (int k = 0; k < 3; ++k) {
        const qsizetype mark = host(k).mark();
        std::vector<qsizetype> others;
        for (int j = 0; j < 3; ++j)
            others.push_back(host(j).mark());
        host(k).command(QStringLiteral("rollcall"));
        // One answer from every member, this one included.
        QTRY_COMPARE_WITH_TIMEOUT(
            host(k).linesSince(mark).filter(QRegularExpression(QStringLiteral("^joined "))).size(), 3, 5000);
        QCOMPARE(host(k).members(), all);
        // A roll call is answered to the asker alone: the others list nothing new.
        for (int j = 0; j < 3; ++j) {
            if (j != k)
                QCOMPARE(
                    host(j).linesSince(others[j]).filter(QRegularExpression(QStringLiteral("^joined "))).size(), 0);
        }
    }
}

void TestPeerGroupHosts::groupMessageReachesAllAndLoopsBack()
{
    std::vector<qsizetype> marks;
    for (int j = 0; j < 3; ++j)
        marks.push_back(host(j).mark());
    host(0).command(QStringLiteral("send 21 Enabled"));
    const QString expected = QStringLiteral("message 10.99.0.1 21 Enabled");
    for (int j = 0; j < 3; ++j)
        QTRY_COMPARE_WITH_TIMEOUT(host(j).countSince(marks[j], expected), 1, 5000);
}

void TestPeerGroupHosts::ownMessagesAfterAddressChange()
{
    Host &b = host(1);
    const QString ns = m_network.namespaceOf(QStringLiteral("B"));
    const auto ip = [&ns](const QString &arguments) {
        QString out;
        return Command::run(QStringLiteral("ip"), QStringList {QStringLiteral("-n"), ns} + arguments.split(u' '), &out);
    };
    // B keeps its address for the tests that follow, whatever happens here.
    const auto restore = qScopeGuard([&ip] {
        ip(QStringLiteral("addr replace 10.99.0.2/24 dev veth0"));
        ip(QStringLiteral("route replace 224.0.0.0/4 dev veth0"));
    });
    // Our own message first, so that the host has just read its addresses when they change.
    qsizetype mark = b.mark();
    b.command(QStringLiteral("send 7 before"));
    QTRY_COMPARE_WITH_TIMEOUT(b.countSince(mark, QStringLiteral("message 10.99.0.2 7 before")), 1, 5000);
    QCOMPARE(b.countSince(mark, QStringLiteral("own 10.99.0.2")), 1);

    // A new lease; no address at all, with the group route put back, so that our messages go
    // out and come back from 0.0.0.0; the old address again.
    const qsizetype markA = host(0).mark();
    for (const QString &address : {QStringLiteral("10.99.0.22"), QString(), QStringLiteral("10.99.0.2")}) {
        QVERIFY(ip(QStringLiteral("addr flush dev veth0")));
        if (!address.isEmpty())
            QVERIFY(ip(QStringLiteral("addr add %1/24 dev veth0").arg(address)));
        QVERIFY(ip(QStringLiteral("route replace 224.0.0.0/4 dev veth0")));
        const QString from = address.isEmpty() ? QStringLiteral("0.0.0.0") : address;
        mark = b.mark();
        b.command(QStringLiteral("send 21 Enabled"));
        QTRY_COMPARE_WITH_TIMEOUT(b.countSince(mark, QStringLiteral("message %1 21 Enabled").arg(from)), 1, 5000);
        QVERIFY2(b.countSince(mark, QStringLiteral("own ") + from) == 1, qPrintable(from));
    }
    // The others still take it for a peer's.
    QTRY_COMPARE_WITH_TIMEOUT(host(0).countSince(markA, QStringLiteral("message 10.99.0.22 21 Enabled")), 1, 5000);
    QCOMPARE(host(0).linesSince(markA).filter(QRegularExpression(QStringLiteral("^own "))), QStringList());
}

void TestPeerGroupHosts::heardAgainAfterCardReplugged()
{
    // A card replugged comes back as a new interface that holds no membership. The kernel keeps
    // the membership of the interface that went, and a socket may hold only 20: replugged more
    // often than that, the card is still heard after each time.
    for (int replug = 1; replug <= 22; ++replug) {
        QVERIFY2(m_network.replug(QStringLiteral("C")), qPrintable(m_network.errorString()));
        // Joined again once the news has settled: A's group messages reach C again.
        bool heard = false;
        for (int i = 0; i < 20 && !heard; ++i) {
            const qsizetype mark = host(2).mark();
            host(0).command(QStringLiteral("send 7 replugged"));
            heard = QTest::qWaitFor(
                [&] { return host(2).countSince(mark, QStringLiteral("message 10.99.0.1 7 replugged")) > 0; }, 300);
        }
        QVERIFY2(heard, qPrintable(QStringLiteral("not heard after replug %1").arg(replug)));
    }
}

void TestPeerGroupHosts::leaveIsReportedToOthersOnly()
{
    std::vector<qsizetype> marks;
    for (int j = 0; j < 3; ++j)
        marks.push_back(host(j).mark());
    host(2).command(QStringLiteral("unregister"));
    const QString leftC = QStringLiteral("left 10.99.0.3");
    QTRY_COMPARE_WITH_TIMEOUT(host(0).countSince(marks[0], leftC), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(host(1).countSince(marks[1], leftC), 1, 5000);
    QTest::qWait(300);
    QCOMPARE(host(2).linesSince(marks[2]), QStringList());
    // A leave does not take the member off the lists.
    QVERIFY(host(0).members().contains(QStringLiteral("10.99.0.3")));

    // Having left the group, the leaver no longer hears it.
    const qsizetype mark = host(2).mark();
    host(1).command(QStringLiteral("send 7 hello"));
    QTRY_COMPARE_WITH_TIMEOUT(host(0).countSince(marks[0], QStringLiteral("message 10.99.0.2 7 hello")), 1, 5000);
    QTest::qWait(300);
    QCOMPARE(host(2).linesSince(mark), QStringList());
}

void TestPeerGroupHosts::cleanupTestCase()
{
    removeNamespaces();
}

void TestPeerGroupHosts::removeNamespaces()
{
    // The members first, so their namespaces can go; deleting a namespace takes its veths
    // and the bridge with it.
    m_hosts.clear();
    m_network.remove();
}

QTEST_GUILESS_MAIN(TestPeerGroupHosts)
#include "TestPeerGroupHosts.moc"
