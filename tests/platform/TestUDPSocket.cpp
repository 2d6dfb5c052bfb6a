// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Delivery of waiting datagrams on loopback, inside the test namespace.
#include "UDPSocket.h"

#include <QHostAddress>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

class TestUDPSocket : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void backlogGoesInBoundedBatches();
};

void TestUDPSocket::backlogGoesInBoundedBatches()
{
    UDPSocket socket;
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::AnyIPv4, 0));
    socket.setPort(probe.localPort());
    probe.close();
    socket.Connect();
    QVERIFY(socket.IsConnected());

    QList<QByteArray> received;
    int receivedWhenQueuedRan = -1;
    connect(&socket, &UDPSocket::DataAvailable, this, [&] {
        if (received.isEmpty())
            QTimer::singleShot(0, this, [&] { receivedWhenQueuedRan = int(received.size()); });
        received.append(socket.Read().Data);
    });

    // A backlog far beyond one batch, all waiting before the loop first looks.
    const int count = 4 * UDPSocket::BatchDatagrams;
    QUdpSocket sender;
    for (int i = 0; i < count; ++i) {
        const QByteArray data = QByteArray::number(i);
        QCOMPARE(sender.writeDatagram(data, QHostAddress::LocalHost, quint16(socket.Port())), qint64(data.size()));
    }

    // No Poll(): the socket goes on by itself after each batch.
    QVERIFY(QTest::qWaitFor([&] { return received.size() >= count; }, 5000));
    QTest::qWait(50);
    QCOMPARE(received.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(received.at(i), QByteArray::number(i));
    // The event queued during the first batch ran before the backlog was through.
    QVERIFY2(receivedWhenQueuedRan >= 1 && receivedWhenQueuedRan <= UDPSocket::BatchDatagrams,
             qPrintable(QString::number(receivedWhenQueuedRan)));
}

QTEST_GUILESS_MAIN(TestUDPSocket)
#include "TestUDPSocket.moc"
