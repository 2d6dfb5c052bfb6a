// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/trigger/TallyAction.h"
#include "gui/framework/MsgBox.h"
#include "gui/framework/Window.h"

#include <QRect>

class Canvas;
class DisclosureTriangle;
class QCheckBox;
class QLabel;
class QListWidget;
class QPainter;
class PeerBoxes;
class Rectangle;
class TriggerController;
class largeButton;
class medButton;
struct Services;

// The main window: the trigger's face. It shows what its TriggerController tells it and hands
// the operator's clicks to it.
class Window1 : public Window
{
    Q_OBJECT
public:
    // The open main window, or a new one built and opened when none is open, working with the
    // application's services. While the application is quitting no new window is made and this
    // gives nullptr.
    static Window1 *instance();
    // The same, with the given services and box answerer for a new window.
    static Window1 *instance(const Services &services, const MsgBox::Responder &boxAnswerer);
    // The open main window, or nullptr.
    static Window1 *openInstance();

    ~Window1() override;

    TriggerController *controller() const { return m_controller; }

    // The size the operator gave the expanded window.
    int windowHeight = 354;
    int windowWidth = 428;

    // Controls, in creation order.
    QListWidget *Log = nullptr;
    QLabel *connectedToCaption = nullptr;
    Rectangle *GreenTallyLED = nullptr;
    Rectangle *RedTallyLED = nullptr;
    QLabel *version = nullptr;
    QLabel *currAddress = nullptr;
    QLabel *vtIdCaption = nullptr;
    QLabel *VTid_disp = nullptr;
    DisclosureTriangle *expandTriangle = nullptr;
    QLabel *tallyCaption = nullptr;
    QCheckBox *tallyStart = nullptr;
    QCheckBox *tallyEnable = nullptr;
    medButton *playButton = nullptr;
    medButton *MarkLog = nullptr;
    largeButton *Enable = nullptr;
    largeButton *Disable = nullptr;
    Canvas *CTlogo = nullptr;

    // The list's paint handlers: navy cells with green text.
    bool Log_CellBackgroundPaint(QPainter &g, const QRect &cell, int row, int column);
    bool Log_CellTextPaint(QPainter &g, int row, int column, int x, int y);

    static constexpr int LogCapacity = 1500;

protected:
    void closeEvent(QCloseEvent *event) override;
    void Event_Close() override;

private:
    Window1(const Services &services, const MsgBox::Responder &boxAnswerer);

    void Layout();
    void CreateControls();
    void connectController(const Services &services);
    void Event_Open();

    void expandTriangle_Action();
    void Enable_Action(largeButton *sender);
    void addLogRow(const QString &row);
    void showTrigger(bool enabled);
    static void showLamp(Rectangle *lamp, const TallyAction::LampLook &look);

    TriggerController *m_controller = nullptr;
    MsgBox::Responder m_boxAnswerer;
    medButton *key1on = nullptr;
    medButton *key1off = nullptr;
    medButton *key2on = nullptr;
    medButton *key2off = nullptr;

    // The boxes of peer messages, shown from the event loop, never inside the receive pass.
    PeerBoxes *m_peerBoxes = nullptr;
};
