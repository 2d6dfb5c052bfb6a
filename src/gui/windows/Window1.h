// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/trigger/TallyPlayLimit.h"
#include "gui/framework/Window.h"

#include <QRect>
#include <QStringList>

class AutoDiscovery;
class Canvas;
class DisclosureTriangle;
class QCheckBox;
class QLabel;
class QListWidget;
class QPainter;
class QTimer;
class PeerBoxes;
class Rectangle;
class UDPSocket;
class largeButton;
class medButton;

// The main window: the trigger. It turns TSL tally datagrams, its buttons and remote commands
// into trigger changes, playout starts, relay-box and graphics-server commands and log lines.
class Window1 : public Window
{
    Q_OBJECT
public:
    // The open main window, or a new one built and opened when none is open. While the
    // application is quitting no new window is made and this gives nullptr.
    static Window1 *instance();
    // The open main window, or nullptr.
    static Window1 *openInstance();

    ~Window1() override;

    // The trigger and its memory of the tally.
    bool Enabled = false;
    QString logPath = QStringLiteral("/Users/ostrel/Documents/OnTheAir Video Logs/");
    QStringList Members;
    bool RedTally = false;
    bool GreenTally = false;
    int windowHeight = 354;
    int windowWidth = 428;

    // Controls and members, in creation order.
    QListWidget *Log = nullptr;
    UDPSocket *RelayUDP = nullptr;
    QLabel *StaticText1 = nullptr;
    Rectangle *GreenTallyLED = nullptr;
    Rectangle *RedTallyLED = nullptr;
    QLabel *version = nullptr;
    QLabel *currAddress = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *VTid_disp = nullptr;
    AutoDiscovery *ChatSocket = nullptr;
    DisclosureTriangle *DisclosureTriangle1 = nullptr;
    QLabel *Label2 = nullptr;
    QCheckBox *tallyStart = nullptr;
    QCheckBox *tallyEnable = nullptr;
    medButton *playButton = nullptr;
    medButton *MarkLog = nullptr;
    largeButton *Enable = nullptr;
    largeButton *Disable = nullptr;
    Canvas *CTlogo = nullptr;

    void LogCommand(const QString &msg);
    void SendMessage(int code);
    void LogToOTA(const QString &msg);
    void chrWorksCommand(const QString &cmd, const QString &key);

    // The list's paint handlers: navy cells with green text.
    bool Log_CellBackgroundPaint(QPainter &g, const QRect &cell, int row, int column);
    bool Log_CellTextPaint(QPainter &g, int row, int column, int x, int y);

    static constexpr int LogCapacity = 1500;

protected:
    void closeEvent(QCloseEvent *event) override;
    void Event_Close() override;

private:
    Window1();

    void Layout();
    void CreateControls();
    void _CreateControls0();
    void Event_Open();

    void RelayUDP_DataAvailable();
    void RelayUDP_Error(const QString &message);
    void ChatSocket_Error(int code);
    void ChatSocket_MemberJoined(const QString &address);
    void ChatSocket_MemberLeft(const QString &address);
    void ChatSocket_ReceivedMessage(const QString &from, qint32 command, const QByteArray &data);
    void TSLrx_DataAvailable();
    void TSLrx_Error(const QString &message);
    void DisclosureTriangle1_Action();
    void key1on_Action();
    void key1off_Action();
    void key2on_Action();
    void key2off_Action();
    void playButton_Action();
    void MarkLog_Action();
    void Enable_Action(largeButton *sender);
    void Disable_Action();
    void UDPpollTimer_Action();

    void enableTrigger(bool isLocal);
    void disableTrigger(bool isLocal);

    UDPSocket *TSLrx = nullptr;
    medButton *key1on = nullptr;
    medButton *key1off = nullptr;
    medButton *key2on = nullptr;
    medButton *key2off = nullptr;
    QTimer *UDPpollTimer = nullptr;
    TallyPlayLimit m_tallyPlayLimit;

    // Whether the Open event ran through and so showed the stored log folder and check boxes,
    // and whether the operator has set either box.
    bool m_settingsShown = false;
    bool m_tallyStartClicked = false;
    bool m_tallyEnableClicked = false;

    // The boxes of peer messages, shown from the event loop, never inside the receive pass.
    PeerBoxes *m_peerBoxes = nullptr;
};
