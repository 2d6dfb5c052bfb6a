// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Services.h"
#include "core/trigger/TallyAction.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class AutoDiscovery;
class DatagramLineLimit;
class GroupRejoin;
class QTimer;
class TallyPlayLimit;
class UDPSocket;

// The trigger. It turns TSL tally datagrams, the operator's commands and remote commands into
// trigger changes, playout starts, relay-box and graphics-server commands and log lines. It
// owns the three sockets and the poll timer; what the operator sees it tells its view through
// the signals below, which the view receives by direct connection, in the order raised.
class TriggerController : public QObject
{
    Q_OBJECT
public:
    explicit TriggerController(const Services &services, QObject *parent = nullptr);
    ~TriggerController() override;

    // How the socket part of the start went.
    enum class OpenOutcome {
        Opened,
        // No interface is up: no socket was opened.
        NoNetwork,
        // The peer port is held by another instance on this host: this one must stand down,
        // and writes nothing to the daily log it shares with that one.
        PeerPortTaken,
        // The tally group could not be joined: the peer socket was closed again.
        TallyGroupRefused,
    };
    // Binds the sockets, peer port first, and joins the groups.
    OpenOutcome openSockets();
    // Takes the stored settings: labels, log folder and the two tally boxes; writes the opening
    // line to the daily log.
    void takeStoredSettings();
    // Stores the tally boxes, writes the closing line and closes the sockets.
    void close();

    // The trigger and its memory of the tally.
    bool Enabled = false;
    QString logPath = QStringLiteral("/Users/ostrel/Documents/OnTheAir Video Logs/");
    QStringList Members;
    bool RedTally = false;
    bool GreenTally = false;

    UDPSocket *RelayUDP = nullptr;
    AutoDiscovery *ChatSocket = nullptr;
    UDPSocket *TSLrx = nullptr;

    // Any host may send a peer message of up to 64 KB, and laying out a box of that much text
    // holds the event loop for half a second; the operator reads no more than this anyway.
    static constexpr qsizetype PeerBoxTextLimit = 1000;

    // Whether the peer socket's receive pass runs: a box opened now has to wait for the loop.
    bool isReceivingPeerMessages() const;

    // The "Tally Start" and "Tally Enable" boxes as the view shows them, and whether the
    // operator has set either.
    bool tallyStart() const { return m_tallyStart; }
    bool tallyEnable() const { return m_tallyEnable; }
    void setTallyStart(bool on) { m_tallyStart = on; }
    void setTallyEnable(bool on) { m_tallyEnable = on; }
    void tallyStartClicked() { m_tallyStartClicked = true; }
    void tallyEnableClicked() { m_tallyEnableClicked = true; }

    // A row for the on-screen log.
    void LogCommand(const QString &msg);
    // A line for the daily log, and its row on screen when written.
    void LogToOTA(const QString &msg);
    // A command to the relay box. NewAddress carries newAddress.
    void SendMessage(int code, const QString &newAddress = QString());
    // A command to both graphics servers.
    void chrWorksCommand(const QString &cmd, const QString &key);

    // The operator's controls.
    void enableClicked();
    void disableClicked();
    void keyClicked(int relayCode);
    void playClicked();
    void markLogClicked();

    // Finds the trigger that logs a graphics-server failure: a request can end after the
    // trigger that started it has closed. Unset, the starting trigger logs it while it exists.
    using Locator = std::function<TriggerController *()>;
    void setFailureSink(Locator sink) { m_failureSink = std::move(sink); }

    // The preferences window stored new settings.
    void settingsStored(const QString &vtId, const QString &chrWorksAddress, const QString &logFolder);

Q_SIGNALS:
    void logRowAdded(const QString &row);
    void redLampChanged(const TallyAction::LampLook &look);
    void greenLampChanged(const TallyAction::LampLook &look);
    // The trigger was switched: the view shows the switch that did it pushed and focused.
    void triggerShown(bool enabled);
    void connectedToChanged(const QString &address);
    void vtIdChanged(const QString &vtId);
    // A stored tally box that is to be shown ticked.
    void tallyStartShown(bool on);
    void tallyEnableShown(bool on);
    // A peer sent a message for the operator to read: its data as text, cut past
    // PeerBoxTextLimit characters.
    void peerMessage(const QString &from, const QString &text);
    // The relay box was sent its new address.
    void relayAddressSent();

private:
    void TSLrx_DataAvailable();
    void TSLrx_Error(const QString &message);
    void RelayUDP_DataAvailable();
    void RelayUDP_Error(const QString &message);
    void ChatSocket_Error(int code);
    void ChatSocket_MemberJoined(const QString &address);
    void ChatSocket_MemberLeft(const QString &address);
    void ChatSocket_ReceivedMessage(const QString &from, qint32 command, const QByteArray &data);
    void UDPpollTimer_Action();

    void enableTrigger(bool isLocal);
    void disableTrigger(bool isLocal);
    void showLamps(const TallyAction &action);
    // The line for msg in the daily log of the day of `when`, stamped with it.
    void LogToOTA(const QString &msg, const QDateTime &when);
    void appendFailed(const QString &path, const QString &reason);
    void reportAppendFailures();

    Services m_services;
    Locator m_failureSink;
    QTimer *UDPpollTimer = nullptr;
    TallyPlayLimit *m_tallyPlayLimit = nullptr;
    DatagramLineLimit *m_lineLimit = nullptr;
    // Joins the tally and peer groups again when the host's network changes, while open.
    QPointer<GroupRejoin> m_rejoin;
    // Daily-log lines that could not be written, told to the system log at most once a second.
    qint64 m_appendFailures = 0;
    QString m_appendFailure;
    std::optional<qint64> m_appendReportedAt;
    QTimer *m_appendReportTimer = nullptr;
    // The runs the tally started that were alive when last counted. The operator's Play button
    // is never held back, so its runs are not among them.
    QList<qint64> m_tallyRuns;
    // The looks last shown, so that a repeated tally value costs the view nothing.
    TallyAction::LampLook m_redLook;
    TallyAction::LampLook m_greenLook;

    // Standing down, this instance leaves the daily log to the one that runs.
    bool m_standingDown = false;
    bool m_tallyStart = false;
    bool m_tallyEnable = false;
    // Whether the stored settings were taken and so shown, and whether the operator has set
    // either box.
    bool m_settingsShown = false;
    bool m_tallyStartClicked = false;
    bool m_tallyEnableClicked = false;
};
