// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TriggerController.h"

#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/DebugLog.h"
#include "core/platform/ErrorReport.h"
#include "core/platform/OutsideText.h"
#include "core/platform/ScriptRunner.h"
#include "core/platform/UDPSocket.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/ChrWorksBody.h"
#include "core/trigger/DailyLogFile.h"
#include "core/trigger/DatagramLineLimit.h"
#include "core/trigger/GroupRejoin.h"
#include "core/trigger/Playout.h"
#include "core/trigger/RelayCommand.h"
#include "core/trigger/TSLTallyPacket.h"
#include "core/trigger/TallyPlayLimit.h"
#include "core/trigger/WebClass.h"

#include <QPointer>
#include <QTimer>

// The handlers report what escapes them under the names the system log has always used for
// them, the main window's.
TriggerController::TriggerController(const Services &services, QObject *parent) : QObject(parent), m_services(services)
{
    RelayUDP = new UDPSocket(this);
    RelayUDP->setPort(5000);
    RelayUDP->setRouterHops(32);
    RelayUDP->setSendToSelf(false);
    connect(RelayUDP, &UDPSocket::DataAvailable, this,
        [this] { ErrorReport::guarded("Window1.RelayUDP_DataAvailable", [this] { RelayUDP_DataAvailable(); }); });
    connect(RelayUDP, &UDPSocket::Error, this, [this](int, const QString &message) {
        ErrorReport::guarded("Window1.RelayUDP_Error", [&] { RelayUDP_Error(message); });
    });

    ChatSocket = new AutoDiscovery(this);
    ChatSocket->setPort(0);
    ChatSocket->setRouterHops(2);
    ChatSocket->setSendToSelf(false);
    connect(ChatSocket, &AutoDiscovery::Error, this,
        [this](int code) { ErrorReport::guarded("Window1.ChatSocket_Error", [&] { ChatSocket_Error(code); }); });
    connect(ChatSocket, &AutoDiscovery::MemberJoined, this, [this](const QString &address) {
        ErrorReport::guarded("Window1.ChatSocket_MemberJoined", [&] { ChatSocket_MemberJoined(address); });
    });
    connect(ChatSocket, &AutoDiscovery::MemberLeft, this, [this](const QString &address) {
        ErrorReport::guarded("Window1.ChatSocket_MemberLeft", [&] { ChatSocket_MemberLeft(address); });
    });
    connect(ChatSocket, &AutoDiscovery::ReceivedMessage, this,
        [this](const QString &from, qint32 command, const QByteArray &data) {
            ErrorReport::guarded(
                "Window1.ChatSocket_ReceivedMessage", [&] { ChatSocket_ReceivedMessage(from, command, data); });
        });

    TSLrx = new UDPSocket(this);
    TSLrx->setPort(8900);
    TSLrx->setRouterHops(24);
    TSLrx->setSendToSelf(false);
    connect(TSLrx, &UDPSocket::DataAvailable, this,
        [this] { ErrorReport::guarded("Window1.TSLrx_DataAvailable", [this] { TSLrx_DataAvailable(); }); });
    connect(TSLrx, &UDPSocket::Error, this, [this](int, const QString &message) {
        ErrorReport::guarded("Window1.TSLrx_Error", [&] { TSLrx_Error(message); });
    });

    UDPpollTimer = new QTimer(this);
    // Every 10 ms, within the 5% a coarse timer allows: the poll is a safety net behind the
    // socket's own reports, and a coarse timer wakes the idle program at about half the cost.
    UDPpollTimer->setTimerType(Qt::CoarseTimer);
    UDPpollTimer->setInterval(10);
    connect(UDPpollTimer, &QTimer::timeout, this,
        [this] { ErrorReport::guarded("Window1.UDPpollTimer_Action", [this] { UDPpollTimer_Action(); }); });
    UDPpollTimer->start();

    m_lineLimit = new DatagramLineLimit(
        {m_services.monotonicMs, m_services.clock,
            [this](const QString &line, const QDateTime &when) { LogToOTA(line, when); }, &DebugLog,
            [this](const QDateTime &when) { return DailyLogFile(when).size(logPath); }},
        this);
    m_tallyPlayLimit = new TallyPlayLimit(m_services.monotonicMs, &DebugLog, this);
    m_appendReportTimer = new QTimer(this);
    m_appendReportTimer->setSingleShot(true);
    connect(m_appendReportTimer, &QTimer::timeout, this, [this] { reportAppendFailures(); });
}

TriggerController::~TriggerController() = default;

TriggerController::OpenOutcome TriggerController::openSockets()
{
    if (m_services.network.interfaceCount() <= 0)
        return OpenOutcome::NoNetwork;
    // The peer port first. Binds are exclusive, so it is held by one instance per host: a
    // second instance learns here that it must stand down, before it has taken the tally or
    // relay port or sent anything.
    ChatSocket->Bind(8083);
    if (ChatSocket->LastErrorCode() != 0) {
        m_standingDown = true;
        DebugLog(QStringLiteral("Standing down: peer port 8083 is taken (error %1), most likely by another instance "
                                "on this host; this one writes no daily-log line")
                     .arg(ChatSocket->LastErrorCode()));
        return OpenOutcome::PeerPortTaken;
    }
    TSLrx->setPort(8900);
    TSLrx->Connect();
    const QString tallyGroup = QStringLiteral("239.1.2.3");
    if (!TSLrx->JoinMulticastGroup(tallyGroup)) {
        // Without the tally group the program runs on without its peer socket, which must
        // hear nothing while the view tells the operator.
        ChatSocket->Close();
        return OpenOutcome::TallyGroupRefused;
    }
    RelayUDP->Connect();
    ChatSocket->Register(QStringLiteral("Brenvale"));
    ChatSocket->UpdateMemberList();
    m_rejoin = new GroupRejoin({{tallyGroup, [this, tallyGroup] { return TSLrx->JoinMulticastGroupAgain(tallyGroup); }},
                                   {ChatSocket->GroupAddress(), [this] { return ChatSocket->JoinAgain(); }}},
        m_services.network, this);
    return OpenOutcome::Opened;
}

void TriggerController::takeStoredSettings()
{
    auto &prefs = ModernPreferences::Preferences;
    Q_EMIT connectedToChanged(prefs[QStringLiteral("chrWorksIP")].toString());
    Q_EMIT vtIdChanged(prefs[QStringLiteral("VTid")].toString());
    logPath = prefs[QStringLiteral("LogPath")].toString();
    LogToOTA(QStringLiteral("Trigger Control Opened"));
    if (prefs[QStringLiteral("tslPlay")].toBool()) {
        m_tallyStart = true;
        Q_EMIT tallyStartShown(true);
    }
    if (prefs[QStringLiteral("tslEnable")].toBool()) {
        m_tallyEnable = true;
        Q_EMIT tallyEnableShown(true);
    }
    m_settingsShown = true;
}

void TriggerController::close()
{
    auto &prefs = ModernPreferences::Preferences;
    // When the start ended early the boxes show their design state, not the settings: a box
    // the operator left alone then keeps its setting as stored.
    if (m_settingsShown || m_tallyStartClicked)
        prefs[QStringLiteral("tslPlay")] = m_tallyStart;
    if (m_settingsShown || m_tallyEnableClicked)
        prefs[QStringLiteral("tslEnable")] = m_tallyEnable;
    // Nor was the log folder taken then; the built-in one is a placeholder, so the closing
    // line goes to the folder the settings name.
    if (!m_settingsShown)
        logPath = prefs[QStringLiteral("LogPath")].toString();
    // The lines a flood still owes come before the close.
    m_lineLimit->settle(true);
    LogToOTA(QStringLiteral("Trigger Control Closed"));
    reportAppendFailures();
    delete m_rejoin;
    RelayUDP->Close();
    ChatSocket->Unregister(QStringLiteral("Brenvale"));
    ChatSocket->Close();
}

void TriggerController::settingsStored(const QString &vtId, const QString &chrWorksAddress, const QString &logFolder)
{
    Q_EMIT vtIdChanged(vtId);
    Q_EMIT connectedToChanged(chrWorksAddress);
    logPath = logFolder;
}

// ---- Logs ----

void TriggerController::LogCommand(const QString &msg)
{
    Q_EMIT logRowAdded(DailyLogFile::screenRow(m_services.clock(), msg));
}

void TriggerController::LogToOTA(const QString &msg)
{
    LogToOTA(msg, m_services.clock());
}

void TriggerController::LogToOTA(const QString &msg, const QDateTime &when)
{
    if (m_standingDown)
        return;
    const DailyLogFile file(when);
    const QString vtId = ModernPreferences::Preferences[QStringLiteral("VTid")].toString();
    const Result<> appended = file.append(logPath, msg, vtId);
    if (appended.ok())
        LogCommand(QStringLiteral("Logged ") + msg + QStringLiteral(" to ") + file.path(logPath));
    else
        appendFailed(file.path(logPath), appended.error());
}

void TriggerController::appendFailed(const QString &path, const QString &reason)
{
    ++m_appendFailures;
    m_appendFailure = path + QStringLiteral(": ") + reason;
    const qint64 waitMs = m_appendReportedAt ? *m_appendReportedAt + 1000 - m_services.monotonicMs() : 0;
    if (waitMs <= 0)
        reportAppendFailures();
    else if (!m_appendReportTimer->isActive())
        m_appendReportTimer->start(static_cast<int>(qMin<qint64>(waitMs, 1000)));
}

void TriggerController::reportAppendFailures()
{
    if (m_appendFailures == 0)
        return;
    DebugLog(QStringLiteral("Could not write %1 daily-log line(s) to %2").arg(m_appendFailures).arg(m_appendFailure));
    m_appendFailures = 0;
    m_appendReportedAt = m_services.monotonicMs();
}

// ---- TSL tally input ----

void TriggerController::UDPpollTimer_Action()
{
    TSLrx->Poll();
}

void TriggerController::showLamps(const TallyAction &action)
{
    if (!(action.redLamp == m_redLook)) {
        m_redLook = action.redLamp;
        Q_EMIT redLampChanged(m_redLook);
    }
    if (!(action.greenLamp == m_greenLook)) {
        m_greenLook = action.greenLamp;
        Q_EMIT greenLampChanged(m_greenLook);
    }
}

void TriggerController::TSLrx_DataAvailable()
{
    if (m_lineLimit->admit(DatagramLineLimit::TallyNotes))
        DebugLog(QStringLiteral("RX Pcket"));
    const UDPSocket::Datagram datagram = TSLrx->Read();
    const auto packet = TSLTallyPacket::decode(datagram.Data);
    if (!packet)
        return;
    if (!packet->isFor(ModernPreferences::Preferences[QStringLiteral("VTid")].toString()))
        return;
    if (m_lineLimit->admit(DatagramLineLimit::OwnTallyNotes))
        DebugLog(packet->displayText());

    const TallyAction action = TallyAction::forTally(packet->tally());
    showLamps(action);

    if (!action.on) {
        RedTally = false;
        GreenTally = false;
    }
    if (action.on && m_tallyEnable) {
        enableTrigger(false);
        LogCommand(action.enableLogText);
    }
    if ((m_tallyEnable || m_tallyStart) && m_lineLimit->admit(DatagramLineLimit::TallyLines, packet->tally()))
        LogToOTA(action.dailyLogText);
    if (action.on && m_tallyStart && TallyAction::playArmed(RedTally, GreenTally)) {
        // A skipped start writes no "Play from" row: nothing was started. The flags below are
        // set all the same, since they remember the tally, not the script.
        const bool start = m_tallyPlayLimit->request(m_services.monotonicMs(), [this] {
            m_tallyRuns.removeIf([](qint64 pid) { return !ScriptRunner::isAlive(pid); });
            return static_cast<int>(m_tallyRuns.size());
        });
        if (start) {
            m_tallyRuns.append(Play());
            LogCommand(action.playLogText);
        }
    }
    if (action.redTally)
        RedTally = *action.redTally;
    if (action.greenTally)
        GreenTally = *action.greenTally;
}

void TriggerController::TSLrx_Error(const QString &message)
{
    DebugLog(QStringLiteral("error RX ") + message);
}

// ---- Trigger state ----

void TriggerController::enableTrigger(bool isLocal)
{
    Q_EMIT triggerShown(true);
    Enabled = true;
    if (isLocal) {
        LogCommand(QStringLiteral("Local Trigger Enable"));
        LogToOTA(QStringLiteral("Local Trigger Enable"));
    } else {
        LogCommand(QStringLiteral("TSL Trigger Enable"));
    }
    ChatSocket->SendMessageToGroup(21, QByteArrayLiteral("Enabled"));
}

void TriggerController::disableTrigger(bool)
{
    Q_EMIT triggerShown(false);
    Enabled = false;
    LogCommand(QStringLiteral("Local Trigger Disable"));
    LogToOTA(QStringLiteral("Local Trigger Disable"));
}

void TriggerController::enableClicked()
{
    if (!Enabled)
        enableTrigger(true);
}

void TriggerController::disableClicked()
{
    if (Enabled)
        disableTrigger(true);
}

// ---- Peer group ----

bool TriggerController::isReceivingPeerMessages() const
{
    return ChatSocket->IsReceiving();
}

void TriggerController::ChatSocket_ReceivedMessage(const QString &from, qint32 command, const QByteArray &data)
{
    // The copy of our own group messages comes back through loopback. Whole addresses are
    // compared: 10.0.0.1 is not one of ours just because 10.0.0.12 is.
    if (m_services.network.isOwnAddress(from)) {
        if (m_lineLimit->admit(DatagramLineLimit::PeerNotes))
            DebugLog(QStringLiteral("From me ignore"));
        return;
    }
    if (command != 21) {
        Q_EMIT peerMessage(from, OutsideText::cut(data, PeerBoxTextLimit, OutsideText::Measure::Characters));
        return;
    }
    if (QString::fromUtf8(data).compare(QLatin1String("Enabled"), Qt::CaseInsensitive) == 0 && Enabled) {
        disableTrigger(true);
        LogCommand(QStringLiteral("Disabled by Remote Trigger ") + from);
        LogToOTA(QStringLiteral("Disabled by Remote Trigger"));
    }
}

void TriggerController::ChatSocket_MemberJoined(const QString &address)
{
    // Our own announcement comes back from the address of whichever interface the group's route
    // takes, so every address of the host counts as ours.
    if (m_services.network.isOwnAddress(address) || Members.contains(address))
        return;
    LogCommand(address + QStringLiteral(" Joined Group"));
}

void TriggerController::ChatSocket_MemberLeft(const QString &address)
{
    if (m_services.network.isOwnAddress(address))
        return;
    Members.removeOne(address);
    LogCommand(address + QStringLiteral(" Left Group"));
}

void TriggerController::ChatSocket_Error(int code)
{
    LogCommand(QStringLiteral("Error ") + QString::number(code));
}

// ---- Relay box ----

void TriggerController::SendMessage(int code, const QString &newAddress)
{
    if (!Enabled) {
        LogCommand(QStringLiteral("Trigger Disabled!"));
        return;
    }
    const QByteArray datagram
        = code == RelayCommand::NewAddress ? RelayCommand::datagram(code, newAddress) : RelayCommand::datagram(code);
    const QString address = ModernPreferences::Preferences[QStringLiteral("IPAddr")].toString();
    RelayUDP->Write(address, datagram);

    if (code >= RelayCommand::Key1On && code <= RelayCommand::Key2Off) {
        LogCommand(RelayCommand::screenText(code));
        LogToOTA(RelayCommand::dailyLogText(code));
    } else if (code == RelayCommand::NewAddress) {
        LogCommand(RelayCommand::screenText(code));
        Q_EMIT connectedToChanged(newAddress);
        Q_EMIT relayAddressSent();
    }
}

void TriggerController::RelayUDP_DataAvailable()
{
    const UDPSocket::Datagram datagram = RelayUDP->Read();
    const RelayCommand::Reply reply = RelayCommand::reply(datagram.Data);
    LogCommand(reply.row);
    if (!reply.dailyLogDue)
        return;
    const bool fromBox = RelayCommand::isFromRelayBox(
        datagram.Address, ModernPreferences::Preferences[QStringLiteral("IPAddr")].toString());
    if (m_lineLimit->admit(
            fromBox ? DatagramLineLimit::RelayBoxReplyLines : DatagramLineLimit::OtherReplyLines, int(reply.value)))
        LogToOTA(reply.text);
}

void TriggerController::RelayUDP_Error(const QString &message)
{
    DebugLog(QStringLiteral("error RX ") + message);
}

namespace {
struct KeyCommand
{
    int relayCode;
    const char *logLine;
    const char *cmd;
    const char *key;
};
constexpr KeyCommand kKeyCommands[] = {
    {RelayCommand::Key1On, "Manual Key 1 On", "play", "Key 1"},
    {RelayCommand::Key1Off, "Manual Key 1 Off", "stop", "Key 1"},
    {RelayCommand::Key2On, "Manual Key 2 On", "play", "Key 2"},
    {RelayCommand::Key2Off, "Manual Key 2 Off", "stop", "Key 2"},
};
} // namespace

void TriggerController::keyClicked(int relayCode)
{
    for (const KeyCommand &command : kKeyCommands) {
        if (command.relayCode != relayCode)
            continue;
        LogCommand(QString::fromLatin1(command.logLine));
        SendMessage(relayCode);
        chrWorksCommand(QString::fromLatin1(command.cmd), QString::fromLatin1(command.key));
        return;
    }
}

// ---- Graphics servers ----

void TriggerController::chrWorksCommand(const QString &cmd, const QString &key)
{
    auto &prefs = ModernPreferences::Preferences;
    const QString mainAddress = prefs[QStringLiteral("chrWorksIP")].toString();
    const QString backupAddress = prefs[QStringLiteral("chrWorksIPBup")].toString();
    const QString mainUrl = ChrWorksBody::url(mainAddress);
    const QString backupUrl = ChrWorksBody::url(backupAddress);

    const auto action = ChrWorksBody::action(cmd);
    if (!action)
        return;
    const auto motionKey = ChrWorksBody::motionPreference(key);
    if (!motionKey)
        return;
    const QString motion = ChrWorksBody::motionName(prefs[*motionKey].value(), key);
    const QByteArray body = ChrWorksBody::body(*action, motion);

    auto *mainConnection = new WebClass(m_services.http);
    auto *backupConnection = new WebClass(m_services.http);
    // A failure is logged by the trigger running at that moment.
    for (WebClass *connection : {mainConnection, backupConnection}) {
        connect(connection, &WebClass::Failed, connection,
            [sink = m_failureSink, self = QPointer<TriggerController>(this)](const QString &message) {
                if (TriggerController *trigger = sink ? sink() : self.data())
                    trigger->LogCommand(QStringLiteral("Error ") + message);
            });
    }
    const QString contentType = QStringLiteral("application/json");
    mainConnection->SetRequestContent(body, contentType);
    backupConnection->SetRequestContent(body, contentType);

    const auto start
        = [this](WebClass *&connection, bool send, const QString &url, const char *errorText, const char *notSentText) {
              if (send) {
                  if (connection->sendRequest(QStringLiteral("POST"), url, 5).ok())
                      connection = nullptr; // the started connection looks after itself now
                  else
                      LogCommand(QString::fromLatin1(errorText));
              } else {
                  LogCommand(QString::fromLatin1(notSentText));
              }
          };
    start(mainConnection, Enabled && !mainAddress.isEmpty(), mainUrl, "chrWorks Main error", "CHRW1 command not sent");
    start(backupConnection, Enabled && !backupAddress.isEmpty(), backupUrl, "chrWorks Backup error",
        "CHRW2 command not sent");
    delete mainConnection;
    delete backupConnection;
}

// ---- Operator controls ----

void TriggerController::playClicked()
{
    Play();
    LogCommand(QStringLiteral("Manual Play Sent"));
}

void TriggerController::markLogClicked()
{
    LogToOTA(QStringLiteral("Mark"));
}
