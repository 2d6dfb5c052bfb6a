// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/UDPSocket.h"

#include "core/platform/HostNetwork.h"
#include "core/platform/SocketOptions.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QScopeGuard>
#include <QUdpSocket>
#include <QVariant>

Q_LOGGING_CATEGORY(lcNet, "brenvale.net")

namespace {
int frameworkCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::AddressInUseError:
        return UDPSocket::AddressInUseError;
    case QAbstractSocket::HostNotFoundError:
        return UDPSocket::NameResolutionError;
    case QAbstractSocket::SocketResourceError:
        return UDPSocket::OutOfMemoryError;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::NetworkError:
    case QAbstractSocket::ConnectionRefusedError:
        return UDPSocket::LostConnection;
    case QAbstractSocket::UnsupportedSocketOperationError:
    case QAbstractSocket::OperationError:
        return UDPSocket::InvalidStateError;
    default:
        return UDPSocket::OpenDriverError;
    }
}
} // namespace

UDPSocket::UDPSocket(QObject *parent) : QObject(parent), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &UDPSocket::reported);
    connect(m_socket, &QUdpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // Answering a report with nothing waiting is expected to find nothing.
        if (m_answeringReport && error == QAbstractSocket::TemporaryError)
            return;
        m_lastErrorCode = frameworkCode(error);
        Q_EMIT Error(m_lastErrorCode, m_socket->errorString());
    });
}

UDPSocket::~UDPSocket() = default;

void UDPSocket::setRouterHops(int hops)
{
    m_routerHops = hops;
    applyMulticastOptions();
}

void UDPSocket::setSendToSelf(bool on)
{
    m_sendToSelf = on;
    applyMulticastOptions();
}

void UDPSocket::applyMulticastOptions()
{
    if (!IsConnected())
        return;
    m_socket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, QVariant(m_sendToSelf ? 1 : 0));
    m_socket->setSocketOption(QAbstractSocket::MulticastTtlOption, QVariant(m_routerHops));
}

void UDPSocket::fail(int code, const QString &message)
{
    m_lastErrorCode = code;
    Q_EMIT Error(code, message);
}

void UDPSocket::Connect()
{
    if (IsConnected())
        m_socket->close();
    m_groupInterfaces.clear();
    m_lastErrorCode = NoError;
    m_mayHoldUnreported = true;
    m_reportUnread = false;
    m_readAhead.reset();
    if (m_port < 0 || m_port > 65535) {
        fail(InvalidPortError, QStringLiteral("Invalid port %1").arg(m_port));
        return;
    }
    // An exclusive bind: a second instance on the same host cannot silently share the port.
    if (!m_socket->bind(QHostAddress::AnyIPv4, static_cast<quint16>(m_port), QAbstractSocket::DontShareAddress)) {
        // bind() has already raised errorOccurred, which set the code and raised Error.
        if (m_lastErrorCode == NoError)
            fail(frameworkCode(m_socket->error()), m_socket->errorString());
        qCDebug(lcNet) << "bind" << m_port << "failed:" << m_socket->errorString();
        return;
    }
    SocketOptions::enlargeReceiveBuffer(m_socket->socketDescriptor(), ReceiveBufferBytes);
    applyMulticastOptions();
}

bool UDPSocket::IsConnected() const
{
    return m_socket->state() == QAbstractSocket::BoundState;
}

QString UDPSocket::LocalAddress() const
{
    const QHostAddress bound = m_socket->localAddress();
    if (IsConnected() && !bound.isNull() && bound != QHostAddress::AnyIPv4 && bound != QHostAddress::Any)
        return bound.toString();
    return HostNetwork::primaryIPv4Address();
}

bool UDPSocket::JoinMulticastGroup(const QString &group)
{
    const QHostAddress address(group);
    if (!IsConnected() || address.isNull()) {
        m_lastErrorCode = address.isNull() ? NameResolutionError : InvalidStateError;
        return false;
    }
    if (!m_socket->joinMulticastGroup(address)) {
        m_lastErrorCode = frameworkCode(m_socket->error());
        qCDebug(lcNet) << "join" << group << "failed:" << m_socket->errorString();
        return false;
    }
    m_lastErrorCode = NoError;
    // Joined where the route to the group leaves, which we note for a join after a change.
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        QList<int> &joinedOn = m_groupInterfaces[address.toIPv4Address()];
        const int index = SocketOptions::groupRouteInterface(address.toIPv4Address());
        if (index && !joinedOn.contains(index))
            joinedOn.append(index);
    }
    return true;
}

Result<> UDPSocket::JoinMulticastGroupAgain(const QString &group)
{
    const QHostAddress address(group);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return Result<>::failure(QStringLiteral("Invalid group \"%1\"").arg(group));
    if (!IsConnected())
        return Result<>::failure(QStringLiteral("Socket is not bound"));
    return SocketOptions::joinGroupAgain(
        m_socket->socketDescriptor(), address.toIPv4Address(), m_groupInterfaces[address.toIPv4Address()]);
}

void UDPSocket::LeaveMulticastGroup(const QString &group)
{
    const QHostAddress address(group);
    if (!IsConnected() || address.isNull()) {
        m_lastErrorCode = address.isNull() ? NameResolutionError : InvalidStateError;
        return;
    }
    m_lastErrorCode = m_socket->leaveMulticastGroup(address) ? int(NoError) : frameworkCode(m_socket->error());
}

void UDPSocket::Poll()
{
    // Qt reports every datagram that arrives while its notifier is on, and delivery drains the
    // socket, which turns the notifier back on. Only when a handler left datagrams unread can
    // one wait unreported; otherwise the 10 ms poll costs not even a system call.
    if (m_mayHoldUnreported)
        deliver();
}

int UDPSocket::PacketsAvailable() const
{
    return m_readAhead || (IsConnected() && m_socket->hasPendingDatagrams()) ? 1 : 0;
}

namespace {
// A flood comes from one sender, whose address is made into text once.
UDPSocket::Datagram makeDatagram(QHostAddress sender, int port, const QByteArray &data, UDPSocket::SenderText &last)
{
    bool isV4 = false;
    const quint32 v4 = sender.toIPv4Address(&isV4);
    if (isV4)
        sender = QHostAddress(v4);
    if (last.text.isEmpty() || sender != last.address)
        last = {sender, sender.toString()};
    UDPSocket::Datagram datagram;
    datagram.Address = last.text;
    datagram.SourcePort = static_cast<quint16>(port < 0 ? 0 : port);
    datagram.Data = data;
    return datagram;
}
} // namespace

UDPSocket::Datagram UDPSocket::Read()
{
    if (m_readAhead) {
        Datagram datagram = std::move(*m_readAhead);
        m_readAhead.reset();
        ++m_reads;
        return datagram;
    }
    if (!IsConnected() || !m_socket->hasPendingDatagrams())
        return {};
    // One read into a buffer kept for it: asking for the datagram's size first would cost a
    // second system call for every datagram of a flood.
    if (m_readBuffer.size() != MaxDatagramBytes)
        m_readBuffer.resize(MaxDatagramBytes);
    QHostAddress sender;
    quint16 port = 0;
    const qint64 size = m_socket->readDatagram(m_readBuffer.data(), m_readBuffer.size(), &sender, &port);
    // A failed read (Qt has raised Error) still took its turn, and gives no sender and no data.
    m_reportUnread = false;
    ++m_reads;
    return makeDatagram(sender, port, QByteArray(m_readBuffer.constData(), qMax<qint64>(size, 0)), m_lastSender);
}

void UDPSocket::Write(const QString &address, const QByteArray &data)
{
    // Most writes go to the address of the one before.
    if (address != m_lastDestinationText || m_lastDestinationText.isNull()) {
        m_lastDestination = QHostAddress(address);
        m_lastDestinationText = address;
    }
    const QHostAddress &destination = m_lastDestination;
    if (destination.isNull()) {
        fail(NameResolutionError, QStringLiteral("Invalid address \"%1\"").arg(address));
        return;
    }
    if (!IsConnected()) {
        fail(InvalidStateError, QStringLiteral("Socket is not bound"));
        return;
    }
    // A failed send raises errorOccurred, which sets the code and raises Error.
    m_socket->writeDatagram(data, destination, static_cast<quint16>(m_port));
}

void UDPSocket::Close()
{
    m_socket->close();
    m_groupInterfaces.clear();
    m_reportUnread = false;
    m_readAhead.reset();
}

void UDPSocket::reported()
{
    m_reportUnread = true;
    deliver();
}

void UDPSocket::deliver()
{
    if (m_delivering) {
        m_deliverAgain = true;
        return;
    }
    m_delivering = true;
    m_mayHoldUnreported = false;
    const quint64 readsAtStart = m_reads;
    QElapsedTimer batchTime;
    batchTime.start();
    const auto batchDone
        = [&] { return m_reads - readsAtStart >= quint64(BatchDatagrams) || batchTime.hasExpired(BatchTimeMs); };
    bool batchFull = false;
    quint64 readsBefore = m_reads;
    // A handler that throws ends this delivery, and the exception goes on to whoever catches it;
    // the socket must not stay silent after it. Treated like a handler that returned: if it took
    // its datagram, the rest is asked for by a queued call; if not, the next poll or report
    // tries again.
    auto handlerThrew = qScopeGuard([&] {
        m_delivering = false;
        m_mayHoldUnreported = true;
        if (m_reads != readsBefore)
            queueContinuation();
    });
    do {
        m_deliverAgain = false;
        while (PacketsAvailable() != 0) {
            if (batchDone()) {
                batchFull = true;
                break;
            }
            readsBefore = m_reads;
            Q_EMIT DataAvailable();
            if (m_reads == readsBefore) {
                // The handler took nothing: the next poll or report tries again.
                m_mayHoldUnreported = true;
                break;
            }
        }
    } while (!batchFull && m_deliverAgain && PacketsAvailable() != 0);
    handlerThrew.dismiss();
    m_delivering = false;
    if (m_reportUnread && !batchFull && PacketsAvailable() == 0) {
        answerReport();
        if (m_readAhead) {
            deliver();
            return;
        }
    }
    if (batchFull) {
        // Back to the loop with datagrams still waiting. Qt's notifier may be off (a report
        // that came while a handler ran a nested loop turns it off until the next read), so
        // the rest is asked for explicitly, once, behind whatever the loop holds by now.
        m_mayHoldUnreported = true;
        queueContinuation();
    }
}

void UDPSocket::queueContinuation()
{
    if (m_continuationQueued)
        return;
    m_continuationQueued = true;
    QMetaObject::invokeMethod(this, &UDPSocket::continueDelivery, Qt::QueuedConnection);
}

void UDPSocket::continueDelivery()
{
    m_continuationQueued = false;
    deliver();
}

void UDPSocket::answerReport()
{
    // Qt hides every report after one that no read followed, so this report, whose datagram
    // someone else took, is answered with a read. A datagram that came in meanwhile is kept
    // for the next Read().
    m_reportUnread = false;
    if (!IsConnected())
        return;
    QByteArray data(MaxDatagramBytes, Qt::Uninitialized);
    QHostAddress sender;
    quint16 port = 0;
    m_answeringReport = true;
    const qint64 size = m_socket->readDatagram(data.data(), data.size(), &sender, &port);
    m_answeringReport = false;
    if (size < 0)
        return;
    data.truncate(size);
    m_readAhead = makeDatagram(sender, port, data, m_lastSender);
}
