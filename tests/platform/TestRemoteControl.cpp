// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/ErrorReport.h"
#include "core/platform/Exceptions.h"
#include "core/platform/RemoteControl.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

const QString interfaceName = QStringLiteral("org.brenvale.Control");

struct Delivery
{
    QString eventClass;
    QString eventID;
    bool onGuiThread = false;
};

} // namespace

// Runs against a private session bus that the test starts on a unix:path= address, so it
// works inside a network namespace and never meets the desktop's own bus.
class TestRemoteControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void deliversEventsAndAnswers_data();
    void deliversEventsAndAnswers();
    void answersAScriptCall();
    void errorInHandlerIsReportedAndAnsweredFalse();
    void secondStartReplacesHandler();
    void releasesNameWhenDestroyed();
    void nameTakenLeavesProgramRunning();
    void noSessionBusLeavesProgramRunning();

private:
    // Calls HandleEvent from a connection of its own and waits with the event loop running,
    // since the service answers on this very thread.
    std::unique_ptr<QDBusPendingReply<bool>> call(const QString &eventClass, const QString &eventID);
    struct ProbeResult
    {
        int exitCode = -1;
        QStringList out;
        QStringList err;
    };
    ProbeResult runProbe(const QString &busAddress);

    QProcess m_daemon;
    QTemporaryDir m_busDir;
    QString m_busAddress;
};

void TestRemoteControl::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        return; // the bus tests skip one by one; the no-bus test runs all the same
    QVERIFY(m_busDir.isValid());
    m_daemon.start(daemon,
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
            QStringLiteral("--address=unix:path=") + m_busDir.filePath(QStringLiteral("bus")),
            QStringLiteral("--print-address=1")});
    QVERIFY(m_daemon.waitForStarted());
    QVERIFY(m_daemon.waitForReadyRead(10000));
    m_busAddress = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(m_busAddress.startsWith(QLatin1String("unix:path=")));
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
}

void TestRemoteControl::cleanupTestCase()
{
    ErrorReport::setObserver({});
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
}

std::unique_ptr<QDBusPendingReply<bool>> TestRemoteControl::call(const QString &eventClass, const QString &eventID)
{
    QDBusConnection client = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("test-client"));
    QDBusMessage message = QDBusMessage::createMethodCall(
        RemoteControl::serviceName, RemoteControl::objectPath, interfaceName, QStringLiteral("HandleEvent"));
    message << eventClass << eventID;
    auto reply = std::make_unique<QDBusPendingReply<bool>>(client.asyncCall(message, 10000));
    // The caller checks isValid(), which is false for a call that never finished.
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 12000))
        qWarning("HandleEvent call did not finish");
    return reply;
}

TestRemoteControl::ProbeResult TestRemoteControl::runProbe(const QString &busAddress)
{
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(REMOTE_CONTROL_PROBE), {});
    ProbeResult result;
    // The event loop keeps running: the service of this process may be asked by the probe.
    if (!QTest::qWaitFor([&] { return probe.state() == QProcess::NotRunning; }, 15000)) {
        probe.kill();
        probe.waitForFinished();
        return result;
    }
    if (probe.exitStatus() == QProcess::NormalExit)
        result.exitCode = probe.exitCode();
    const auto lines
        = [](const QByteArray &bytes) { return QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts); };
    result.out = lines(probe.readAllStandardOutput());
    result.err = lines(probe.readAllStandardError());
    return result;
}

void TestRemoteControl::deliversEventsAndAnswers_data()
{
    QTest::addColumn<QString>("eventClass");
    QTest::addColumn<QString>("eventID");
    QTest::addColumn<bool>("answer");
    QTest::newRow("Bvrq Rel0") << QStringLiteral("Bvrq") << QStringLiteral("Rel0") << true;
    QTest::newRow("Bvrq Rel3") << QStringLiteral("Bvrq") << QStringLiteral("Rel3") << true;
    QTest::newRow("declined") << QStringLiteral("aevt") << QStringLiteral("oapp") << false;
    QTest::newRow("case kept") << QStringLiteral("bvrq") << QStringLiteral("REL0") << false;
    QTest::newRow("spaces kept") << QStringLiteral(" Bvrq ") << QStringLiteral("Rel0\t") << false;
    QTest::newRow("empty") << QString() << QString() << false;
    QTest::newRow("non-ASCII") << QStringLiteral("Bvr\u00e9") << QStringLiteral("R\u20ac l0") << true;
}

void TestRemoteControl::deliversEventsAndAnswers()
{
    if (m_busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    QFETCH(QString, eventClass);
    QFETCH(QString, eventID);
    QFETCH(bool, answer);

    QList<Delivery> deliveries;
    RemoteControl remote;
    QVERIFY(remote.start([&](const QString &c, const QString &i) {
        deliveries.append({c, i, QThread::currentThread() == QCoreApplication::instance()->thread()});
        return answer;
    }));
    QVERIFY(remote.isActive());

    const auto reply = call(eventClass, eventID);
    QVERIFY2(reply->isValid(), qPrintable(reply->error().message()));
    QCOMPARE(reply->value(), answer);
    QCOMPARE(deliveries.size(), 1);
    QCOMPARE(deliveries[0].eventClass, eventClass);
    QCOMPARE(deliveries[0].eventID, eventID);
    QVERIFY(deliveries[0].onGuiThread);
}

void TestRemoteControl::answersAScriptCall()
{
    if (m_busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    const QString gdbus = QStandardPaths::findExecutable(QStringLiteral("gdbus"));
    if (gdbus.isEmpty())
        QSKIP("gdbus is not installed");

    QStringList seen;
    RemoteControl remote;
    QVERIFY(remote.start([&](const QString &c, const QString &i) {
        seen << c << i;
        return c == QLatin1String("Bvrq");
    }));

    const auto runGdbus = [&](const QString &eventClass, const QString &eventID) {
        QProcess process;
        process.start(gdbus,
            {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), RemoteControl::serviceName,
                QStringLiteral("--object-path"), RemoteControl::objectPath, QStringLiteral("--method"),
                interfaceName + QStringLiteral(".HandleEvent"), eventClass, eventID});
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 15000))
            return QStringLiteral("gdbus did not finish");
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    };
    QCOMPARE(runGdbus(QStringLiteral("Bvrq"), QStringLiteral("Rel0")), QStringLiteral("(true,)"));
    QCOMPARE(runGdbus(QStringLiteral("BVRQ"), QStringLiteral("Rel1")), QStringLiteral("(false,)"));
    QCOMPARE(seen,
        (QStringList {QStringLiteral("Bvrq"), QStringLiteral("Rel0"), QStringLiteral("BVRQ"), QStringLiteral("Rel1")}));
}

void TestRemoteControl::errorInHandlerIsReportedAndAnsweredFalse()
{
    if (m_busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    QStringList reports;
    ErrorReport::setObserver([&](const QString &, const QString &kind, const QString &message) {
        reports << kind + QStringLiteral(": ") + message;
    });
    RemoteControl remote;
    QVERIFY(remote.start(
        [](const QString &, const QString &) -> bool { throw NilObjectException(QStringLiteral("no window")); }));

    const auto reply = call(QStringLiteral("Bvrq"), QStringLiteral("Rel0"));
    ErrorReport::setObserver({});
    QVERIFY(reply->isValid());
    QCOMPARE(reply->value(), false);
    QCOMPARE(reports, QStringList {QStringLiteral("NilObjectException: no window")});

    // The service is still there for the next caller.
    QVERIFY(call(QStringLiteral("Bvrq"), QStringLiteral("Rel1"))->isValid());
}

void TestRemoteControl::secondStartReplacesHandler()
{
    if (m_busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    RemoteControl remote;
    int first = 0;
    int second = 0;
    QVERIFY(remote.start([&](const QString &, const QString &) { return ++first > 0; }));
    QVERIFY(remote.start([&](const QString &, const QString &) { return ++second < 0; }));
    const auto reply = call(QStringLiteral("Bvrq"), QStringLiteral("Rel2"));
    QVERIFY(reply->isValid());
    QCOMPARE(reply->value(), false);
    QCOMPARE(first, 0);
    QCOMPARE(second, 1);
}

void TestRemoteControl::releasesNameWhenDestroyed()
{
    if (m_busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    QDBusConnectionInterface *bus
        = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("test-client")).interface();
    QVERIFY(bus);
    {
        RemoteControl remote;
        QVERIFY(remote.start([](const QString &, const QString &) { return true; }));
        QVERIFY(bus->isServiceRegistered(RemoteControl::serviceName).value());
    }
    QTRY_VERIFY(!bus->isServiceRegistered(RemoteControl::serviceName).value());

    // Once released, a new instance takes the name again.
    RemoteControl again;
    QVERIFY(again.start([](const QString &, const QString &) { return true; }));
}

void TestRemoteControl::nameTakenLeavesProgramRunning()
{
    if (m_busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    int calls = 0;
    RemoteControl owner;
    QVERIFY(owner.start([&](const QString &, const QString &) { return ++calls > 0; }));

    const ProbeResult probe = runProbe(m_busAddress);
    QCOMPARE(probe.exitCode, 0);
    QCOMPARE(probe.out, (QStringList {QStringLiteral("started: no"), QStringLiteral("still running")}));
    QCOMPARE(probe.err.size(), 1);
    QVERIFY2(probe.err[0].startsWith(QLatin1String("Remote control unavailable: ")), qPrintable(probe.err[0]));
    QVERIFY2(probe.err[0].contains(RemoteControl::serviceName), qPrintable(probe.err[0]));

    // The instance that holds the name keeps serving.
    const auto reply = call(QStringLiteral("Bvrq"), QStringLiteral("Rel0"));
    QVERIFY(reply->isValid());
    QCOMPARE(calls, 1);
}

void TestRemoteControl::noSessionBusLeavesProgramRunning()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const ProbeResult probe = runProbe(QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus-here")));
    QCOMPARE(probe.exitCode, 0);
    QCOMPARE(probe.out, (QStringList {QStringLiteral("started: no"), QStringLiteral("still running")}));
    QCOMPARE(probe.err.size(), 1);
    QVERIFY2(
        probe.err[0].startsWith(QLatin1String("Remote control unavailable: no session bus")), qPrintable(probe.err[0]));
}

QTEST_GUILESS_MAIN(TestRemoteControl)
#include "TestRemoteControl.moc"
