// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Message framing, per-sender reassembly and the group address, without sockets.
#include "core/groupmsg/EasyUDPSocket.h"
#include "core/groupmsg/MessagePacket.h"
#include "core/groupmsg/PeerReassembler.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

#include <stdexcept>

namespace {
struct Delivery
{
    QString from;
    qint32 command;
    QByteArray data;
    bool operator==(const Delivery &) const = default;
};

// Collects every message a reassembler hands on, in order.
struct Recorder
{
    QList<Delivery> got;
    PeerReassembler::Handler handler()
    {
        return [this](const QString &from, const MessagePacket &m) { got.append({from, m.command(), m.data()}); };
    }
};

QByteArray packet(qint32 command, const QByteArray &data)
{
    return MessagePacket(command, data).toBytes();
}

QByteArray header(qint32 length, qint32 command)
{
    QByteArray bytes(8, '\0');
    qToBigEndian<qint32>(length, bytes.data());
    qToBigEndian<qint32>(command, bytes.data() + 4);
    return bytes;
}

const QString peerA = QStringLiteral("10.0.0.1");
const QString peerB = QStringLiteral("10.0.0.2");
} // namespace

class TestGroupMessaging : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void packetBytes_data();
    void packetBytes();
    void frameRoundTrip_data();
    void frameRoundTrip();

    void twoMessagesInOneDatagram();
    void messageOverTwoDatagramsWithAnotherSenderBetween();
    void emptyData();
    void sendersInterleaveOnePerPass();
    void shortRemainderIsKept_data();
    void shortRemainderIsKept();
    void badLengthIsDiscarded_data();
    void badLengthIsDiscarded();
    void senderBytesAreCapped();
    void messageAtCapacityIsDelivered();
    void heldBytesBoundedInTotalAndSenders();
    void staleBytesAreDropped();
    void reentrantDeliveryLosesNothing();
    void handlerExceptionDoesNotJamOrRepeat();
    void randomSplitsReassemble();
    void randomBytesNeverHang();

    void hashWorkedExamples_data();
    void hashWorkedExamples();
    void hashedAddressesAreMulticast();
    void classDAddress_data();
    void classDAddress();
};

void TestGroupMessaging::packetBytes_data()
{
    QTest::addColumn<qint32>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("trigger enabled") << qint32(21) << QByteArray("Enabled")
                                     << QByteArray::fromHex("0000000F00000015456E61626C6564");
    QTest::newRow("roll call") << qint32(-100) << QByteArray() << QByteArray::fromHex("00000008FFFFFF9C");
    QTest::newRow("joined") << qint32(-101) << QByteArray() << QByteArray::fromHex("00000008FFFFFF9B");
    QTest::newRow("left") << qint32(-102) << QByteArray() << QByteArray::fromHex("00000008FFFFFF9A");
    QTest::newRow("raw bytes kept") << qint32(0x01020304) << QByteArray("\x00\xff\xc3\xa4", 4)
                                    << QByteArray::fromHex("0000000C0102030400FFC3A4");
}

void TestGroupMessaging::packetBytes()
{
    QFETCH(qint32, command);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EasyUDPSocket::CreatePacket(command, data).toHex(' '), bytes.toHex(' '));
}

void TestGroupMessaging::frameRoundTrip_data()
{
    packetBytes_data();
}

void TestGroupMessaging::frameRoundTrip()
{
    QFETCH(qint32, command);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, bytes);
    qint32 length = 0;
    const QByteArray withTail = bytes + QByteArray("tail");
    QCOMPARE(
        MessagePacket::frameAt(withTail, PeerReassembler::DefaultCapacity, length), MessagePacket::Frame::Complete);
    QCOMPARE(length, bytes.size());
    QCOMPARE(MessagePacket::fromFrame(withTail, length), MessagePacket(command, data));
    QCOMPARE(MessagePacket::frameAt(bytes.chopped(1), PeerReassembler::DefaultCapacity, length),
        MessagePacket::Frame::Incomplete);
}

void TestGroupMessaging::twoMessagesInOneDatagram()
{
    PeerReassembler reassembler;
    Recorder rec;
    int passes = 0;
    reassembler.append(peerA, packet(21, "Enabled") + packet(7, "second"));
    reassembler.ProcessData([&](const QString &from, const MessagePacket &m) {
        ++passes;
        // The first message is off the sender's bytes before it is handed on.
        if (m.command() == 21)
            QCOMPARE(reassembler.bufferedBytes(peerA), packet(7, "second"));
        rec.handler()(from, m);
    });
    QCOMPARE(passes, 2);
    QCOMPARE(rec.got, (QList<Delivery> {{peerA, 21, "Enabled"}, {peerA, 7, "second"}}));
    // A sender whose bytes are all used keeps no entry.
    QCOMPARE(reassembler.senderCount(), 0);
    QVERIFY(reassembler.bufferedBytes(peerA).isEmpty());
}

void TestGroupMessaging::messageOverTwoDatagramsWithAnotherSenderBetween()
{
    PeerReassembler reassembler;
    Recorder rec;
    const QByteArray whole = packet(21, "Enabled");
    QCOMPARE(whole.size(), 15);

    reassembler.append(peerA, whole.left(6));
    reassembler.ProcessData(rec.handler());
    reassembler.append(peerB, packet(3, "b"));
    reassembler.append(peerB, packet(4, "partial").left(10));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got, (QList<Delivery> {{peerB, 3, "b"}}));

    reassembler.append(peerA, whole.mid(6));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got, (QList<Delivery> {{peerB, 3, "b"}, {peerA, 21, "Enabled"}}));
    QCOMPARE(reassembler.bufferedBytes(peerB), packet(4, "partial").left(10));
}

void TestGroupMessaging::emptyData()
{
    PeerReassembler reassembler;
    Recorder rec;
    reassembler.append(peerA, packet(-101, QByteArray()));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got.size(), 1);
    QCOMPARE(rec.got.first().command, -101);
    QVERIFY(rec.got.first().data.isEmpty());
}

void TestGroupMessaging::sendersInterleaveOnePerPass()
{
    PeerReassembler reassembler;
    Recorder rec;
    reassembler.append(peerA, packet(1, "a1") + packet(2, "a2"));
    reassembler.append(peerB, packet(3, "b1") + packet(4, "b2"));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got.size(), 4);
    // One message of each sender per pass: the senders alternate and each keeps its order.
    QVERIFY(rec.got[0].from != rec.got[1].from);
    QCOMPARE(rec.got[2].from, rec.got[0].from);
    QCOMPARE(rec.got[3].from, rec.got[1].from);
    const QList<Delivery> fromA
        = {rec.got[0].from == peerA ? rec.got[0] : rec.got[1], rec.got[2].from == peerA ? rec.got[2] : rec.got[3]};
    QCOMPARE(fromA, (QList<Delivery> {{peerA, 1, "a1"}, {peerA, 2, "a2"}}));
}

void TestGroupMessaging::shortRemainderIsKept_data()
{
    QTest::addColumn<int>("remainder");
    for (int n = 1; n <= 7; ++n)
        QTest::addRow("%d bytes", n) << n;
}

void TestGroupMessaging::shortRemainderIsKept()
{
    QFETCH(int, remainder);
    PeerReassembler reassembler;
    Recorder rec;
    const QByteArray next = packet(9, "next");
    reassembler.append(peerA, packet(8, "first") + next.left(remainder));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got, (QList<Delivery> {{peerA, 8, "first"}}));
    QCOMPARE(reassembler.bufferedBytes(peerA), next.left(remainder));

    reassembler.append(peerA, next.mid(remainder));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got.last(), (Delivery {peerA, 9, "next"}));
    QCOMPARE(reassembler.senderCount(), 0);
}

void TestGroupMessaging::badLengthIsDiscarded_data()
{
    QTest::addColumn<qint32>("length");
    QTest::newRow("zero") << qint32(0);
    QTest::newRow("negative") << qint32(-1);
    QTest::newRow("most negative") << std::numeric_limits<qint32>::min();
    QTest::newRow("seven") << qint32(7);
    QTest::newRow("above the cap") << qint32(PeerReassembler::DefaultCapacity + 1);
    QTest::newRow("largest") << std::numeric_limits<qint32>::max();
}

void TestGroupMessaging::badLengthIsDiscarded()
{
    QFETCH(qint32, length);
    PeerReassembler reassembler;
    Recorder rec;
    reassembler.append(peerA, header(length, 21) + QByteArray("Enabled") + packet(5, "hidden"));
    reassembler.append(peerB, packet(6, "other"));
    reassembler.ProcessData(rec.handler());
    // Only the other sender's message; the bad sender's bytes are gone, not waiting forever.
    QCOMPARE(rec.got, (QList<Delivery> {{peerB, 6, "other"}}));
    QVERIFY(reassembler.bufferedBytes(peerA).isEmpty());

    // The sender recovers with its next datagram.
    reassembler.append(peerA, packet(5, "later"));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got.last(), (Delivery {peerA, 5, "later"}));
}

void TestGroupMessaging::senderBytesAreCapped()
{
    PeerReassembler reassembler(100);
    Recorder rec;
    // A message that would fit, but whose bytes come in larger than the cap allows.
    reassembler.append(peerA, header(100, 1) + QByteArray(60, 'x'));
    reassembler.append(peerB, header(20, 2));
    reassembler.append(peerA, QByteArray(60, 'y'));
    QVERIFY(reassembler.bufferedBytes(peerA).isEmpty());
    QCOMPARE(reassembler.bufferedBytes(peerB).size(), 8);

    // A single datagram above the cap is not kept either.
    reassembler.append(peerA, QByteArray(101, 'z'));
    QVERIFY(reassembler.bufferedBytes(peerA).isEmpty());

    reassembler.append(peerA, packet(3, "fresh"));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got, (QList<Delivery> {{peerA, 3, "fresh"}}));
}

void TestGroupMessaging::messageAtCapacityIsDelivered()
{
    PeerReassembler reassembler;
    Recorder rec;
    const QByteArray big = packet(42, QByteArray(PeerReassembler::DefaultCapacity - 8, 'q'));
    QCOMPARE(big.size(), PeerReassembler::DefaultCapacity);
    reassembler.append(peerA, big.left(40000));
    reassembler.ProcessData(rec.handler());
    QVERIFY(rec.got.isEmpty());
    reassembler.append(peerA, big.mid(40000));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got.size(), 1);
    QCOMPARE(rec.got.first().data.size(), PeerReassembler::DefaultCapacity - 8);
}

void TestGroupMessaging::heldBytesBoundedInTotalAndSenders()
{
    qint64 now = 0;
    PeerReassembler::Limits limits;
    limits.perSender = 100;
    limits.total = 250;
    limits.senders = 4;
    PeerReassembler reassembler(limits, [&now] { return now; });
    Recorder rec;
    const auto sender = [](int i) { return QStringLiteral("10.2.0.%1").arg(i); };
    const QByteArray whole = packet(4, QByteArray(92, 'w'));
    const QByteArray firstPart = whole.left(90);

    // Each sender holds 90 bytes of a 100-byte message: the total lets two stay, the newest.
    for (int i = 0; i < 10; ++i) {
        ++now;
        reassembler.append(sender(i), firstPart);
        QVERIFY(reassembler.heldBytes() <= 250);
    }
    QCOMPARE(reassembler.senderCount(), 2);
    QCOMPARE(reassembler.heldBytes(), 180);
    reassembler.append(sender(0), whole.mid(90));
    reassembler.append(sender(9), whole.mid(90));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got, (QList<Delivery> {{sender(9), 4, QByteArray(92, 'w')}}));

    // Short headers: the sender limit keeps the four newest.
    for (int i = 0; i < 10; ++i)
        reassembler.append(sender(i), whole.left(4));
    QCOMPARE(reassembler.senderCount(), 4);
    QVERIFY(reassembler.bufferedBytes(sender(5)).isEmpty());
    QCOMPARE(reassembler.bufferedBytes(sender(6)), whole.left(4));
}

void TestGroupMessaging::staleBytesAreDropped()
{
    qint64 now = 0;
    PeerReassembler::Limits limits;
    limits.maxAgeMs = 1000;
    PeerReassembler reassembler(limits, [&now] { return now; });
    Recorder rec;
    const QByteArray whole = packet(5, "complete");
    reassembler.append(peerA, whole.left(5));
    now = 600;
    reassembler.append(peerB, packet(6, "b1") + whole.left(5));
    reassembler.ProcessData(rec.handler());
    // Taking a message starts the rest's wait anew: B's part has waited 400 ms, A's 1000.
    now = 1000;
    reassembler.append(peerA, whole.mid(5));
    reassembler.append(peerB, whole.mid(5));
    reassembler.ProcessData(rec.handler());
    QCOMPARE(rec.got, (QList<Delivery> {{peerB, 6, "b1"}, {peerB, 5, "complete"}}));
    // A's first part was gone when the rest came; the rest alone waits as the start of a frame.
    QCOMPARE(reassembler.bufferedBytes(peerA), whole.mid(5));
}

void TestGroupMessaging::reentrantDeliveryLosesNothing()
{
    PeerReassembler reassembler;
    QList<Delivery> got;
    int depth = 0;
    int maxDepth = 0;
    PeerReassembler::Handler handler;
    handler = [&](const QString &from, const MessagePacket &m) {
        ++depth;
        maxDepth = qMax(maxDepth, depth);
        got.append({from, m.command(), m.data()});
        if (m.command() == 1) {
            // As a nested event loop would: new data for this sender and a new sender, and a
            // request to process while this delivery is still running.
            QVERIFY(reassembler.isProcessing());
            reassembler.append(peerA, packet(3, "a3"));
            reassembler.append(peerB, packet(10, "b1"));
            reassembler.ProcessData(handler);
            reassembler.ProcessData(handler);
        }
        --depth;
    };
    reassembler.append(peerA, packet(1, "a1") + packet(2, "a2"));
    reassembler.ProcessData(handler);

    QCOMPARE(maxDepth, 1);
    QCOMPARE(got.size(), 4);
    QList<Delivery> fromA;
    for (const Delivery &d : got)
        if (d.from == peerA)
            fromA.append(d);
    QCOMPARE(fromA, (QList<Delivery> {{peerA, 1, "a1"}, {peerA, 2, "a2"}, {peerA, 3, "a3"}}));
    QVERIFY(got.contains(Delivery {peerB, 10, "b1"}));
    QCOMPARE(reassembler.senderCount(), 0);
    QVERIFY(!reassembler.isProcessing());
}

void TestGroupMessaging::handlerExceptionDoesNotJamOrRepeat()
{
    PeerReassembler reassembler;
    QList<qint32> seen;
    auto throwing = [&](const QString &, const MessagePacket &m) {
        seen.append(m.command());
        if (m.command() == 1)
            throw std::runtime_error("handler failed");
    };
    reassembler.append(peerA, packet(1, "boom") + packet(2, "after"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, reassembler.ProcessData(throwing));
    QVERIFY(!reassembler.isProcessing());
    QCOMPARE(reassembler.bufferedBytes(peerA), packet(2, "after"));

    reassembler.ProcessData(throwing);
    QCOMPARE(seen, (QList<qint32> {1, 2}));
}

void TestGroupMessaging::randomSplitsReassemble()
{
    QRandomGenerator rng(20260101);
    for (int round = 0; round < 200; ++round) {
        const QStringList senders
            = {QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.3")};
        QMap<QString, QList<Delivery>> sent;
        QMap<QString, QByteArray> streams;
        for (const QString &s : senders) {
            const int count = rng.bounded(1, 6);
            for (int i = 0; i < count; ++i) {
                QByteArray data(rng.bounded(0, 40), Qt::Uninitialized);
                for (char &c : data)
                    c = static_cast<char>(rng.bounded(256));
                const auto command = static_cast<qint32>(rng.generate());
                sent[s].append({s, command, data});
                streams[s] += packet(command, data);
            }
        }
        PeerReassembler reassembler;
        Recorder rec;
        // Cut every stream into random datagrams and feed them interleaved, processing now and
        // then as datagrams would arrive.
        while (!streams.isEmpty()) {
            const QString s = streams.keys().at(rng.bounded(int(streams.size())));
            QByteArray &rest = streams[s];
            const int n = rng.bounded(1, int(rest.size()) + 1);
            reassembler.append(s, rest.left(n));
            rest.remove(0, n);
            if (rest.isEmpty())
                streams.remove(s);
            if (rng.bounded(3) == 0)
                reassembler.ProcessData(rec.handler());
        }
        reassembler.ProcessData(rec.handler());
        for (const QString &s : senders) {
            QList<Delivery> got;
            for (const Delivery &d : std::as_const(rec.got))
                if (d.from == s)
                    got.append(d);
            QCOMPARE(got, sent.value(s));
        }
        QCOMPARE(reassembler.senderCount(), 0);
    }
}

void TestGroupMessaging::randomBytesNeverHang()
{
    QRandomGenerator rng(424242);
    PeerReassembler reassembler(4096);
    Recorder rec;
    for (int i = 0; i < 5000; ++i) {
        QByteArray data(rng.bounded(0, 600), Qt::Uninitialized);
        for (char &c : data)
            c = static_cast<char>(rng.bounded(256));
        // Short length fields now and then, so that some of the noise frames as messages.
        if (data.size() >= 4 && rng.bounded(2) == 0)
            qToBigEndian<qint32>(rng.bounded(0, 64), data.data());
        reassembler.append(QStringLiteral("10.1.%1.%2").arg(rng.bounded(4)).arg(rng.bounded(4)), data);
        reassembler.ProcessData(rec.handler());
        for (int s = 0; s < 16; ++s)
            QVERIFY(reassembler.bufferedBytes(QStringLiteral("10.1.%1.%2").arg(s / 4).arg(s % 4)).size() <= 4096);
    }
    QVERIFY(reassembler.senderCount() <= 16);
    for (const Delivery &d : std::as_const(rec.got))
        QVERIFY(d.data.size() <= 4096 - 8);
}

void TestGroupMessaging::hashWorkedExamples_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("address");
    QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("232.121.218.196");
    QTest::newRow("ABC") << QStringLiteral("ABC") << QStringLiteral("232.121.218.196");
    QTest::newRow("mixed case") << QStringLiteral("aBc") << QStringLiteral("232.121.218.196");
    QTest::newRow("fox") << QStringLiteral("the quick brown fox") << QStringLiteral("237.174.209.134");
    QTest::newRow("fox shouting") << QStringLiteral("THE QUICK BROWN FOX") << QStringLiteral("237.174.209.134");
    QTest::newRow("empty") << QString() << QStringLiteral("224.0.0.0");
    QTest::newRow("multicast address kept") << QStringLiteral("239.1.2.3") << QStringLiteral("239.1.2.3");
    QTest::newRow("quirky address kept") << QStringLiteral("239..1.1") << QStringLiteral("239..1.1");
}

void TestGroupMessaging::hashWorkedExamples()
{
    QFETCH(QString, group);
    QFETCH(QString, address);
    QCOMPARE(EasyUDPSocket::HashGroupNameToIP(group), address);
}

void TestGroupMessaging::hashedAddressesAreMulticast()
{
    QStringList names = {QStringLiteral("239.1.2.3.4"), QStringLiteral("240.0.0.1"), QStringLiteral("239.1.2.256"),
        QStringLiteral("239.1.2"), QStringLiteral("10.0.0.1"), QStringLiteral("Brenvale")};
    QRandomGenerator rng(7);
    for (int i = 0; i < 2000; ++i) {
        QString name;
        const int length = rng.bounded(0, 80);
        for (int j = 0; j < length; ++j)
            name += QChar(char16_t(rng.bounded(32, 127)));
        names.append(name);
    }
    for (const QString &name : std::as_const(names)) {
        const QString address = EasyUDPSocket::HashGroupNameToIP(name);
        if (EasyUDPSocket::IsClassDAddress(name)) {
            QCOMPARE(address, name);
            continue;
        }
        QVERIFY2(address != name, qPrintable(name));
        const QStringList octets = address.split(u'.');
        QCOMPARE(octets.size(), 4);
        const int first = octets.first().toInt();
        QVERIFY2(first >= 224 && first <= 239, qPrintable(name + QLatin1String(" -> ") + address));
        for (const QString &octet : octets) {
            bool ok = false;
            const int value = octet.toInt(&ok);
            QVERIFY(ok && value >= 0 && value <= 255);
            QCOMPARE(QString::number(value), octet); // no leading zeros
        }
        QVERIFY(EasyUDPSocket::IsClassDAddress(address));
    }
}

void TestGroupMessaging::classDAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isClassD");
    QTest::newRow("plain") << QStringLiteral("239.1.2.3") << true;
    QTest::newRow("lowest") << QStringLiteral("224.0.0.0") << true;
    QTest::newRow("highest") << QStringLiteral("239.255.255.255") << true;
    QTest::newRow("empty octet") << QStringLiteral("239..1.1") << true;
    QTest::newRow("empty last octet") << QStringLiteral("239.1.2.") << true;
    QTest::newRow("leading zero") << QStringLiteral("0239.1.2.3") << true;
    QTest::newRow("leading dot") << QStringLiteral(".239.1.2") << false;
    QTest::newRow("five octets") << QStringLiteral("239.1.2.3.4") << false;
    QTest::newRow("class E") << QStringLiteral("240.0.0.1") << false;
    QTest::newRow("below class D") << QStringLiteral("223.255.255.255") << false;
    QTest::newRow("last octet 256") << QStringLiteral("239.1.2.256") << false;
    QTest::newRow("middle octet 256") << QStringLiteral("239.256.2.3") << false;
    QTest::newRow("three octets") << QStringLiteral("239.1.2") << false;
    QTest::newRow("private") << QStringLiteral("10.0.0.1") << false;
    QTest::newRow("letters") << QStringLiteral("239.1.2.a") << false;
    QTest::newRow("space") << QStringLiteral(" 239.1.2.3") << false;
    QTest::newRow("sign") << QStringLiteral("239.1.2.-3") << false;
    QTest::newRow("long digits") << QStringLiteral("239.1.2.99999999999999999999999") << false;
    QTest::newRow("long first octet") << QStringLiteral("4294967520.1.2.3") << false;
    QTest::newRow("arabic digit") << QStringLiteral("239.1.2.\u0663") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("name") << QStringLiteral("Brenvale") << false;
}

void TestGroupMessaging::classDAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, isClassD);
    QCOMPARE(EasyUDPSocket::IsClassDAddress(text), isClassD);
}

QTEST_GUILESS_MAIN(TestGroupMessaging)
#include "TestGroupMessaging.moc"
