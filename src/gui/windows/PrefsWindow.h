// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "gui/framework/Window.h"

#include <QList>
#include <utility>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The preferences window. It fills its fields from the store when it opens; closing it,
// whichever way, stores every field as typed, saves the store and refreshes the main window.
class PrefsWindow : public Window
{
    Q_OBJECT
public:
    // The open preferences window, or a new one (shown, its Open event run).
    static PrefsWindow *instance();
    static PrefsWindow *openInstance();
    ~PrefsWindow() override;

    // Controls, in creation order.
    QPushButton *PushButton1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *newAddress = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *prefLogPath = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *VTid = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *AddressField = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *PushButton2 = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *motion1Name = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *chrWorksIP = nullptr;
    QLineEdit *motion2Name = nullptr;
    QLineEdit *chrWorksIPBup = nullptr;
    QLabel *Label9 = nullptr;
    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;

    void PushButton1_Action();
    void PushButton2_Action();

protected:
    void Event_Close() override;

private:
    PrefsWindow();
    void Layout();
    void CreateControls();
    void _CreateControls0();
    void Event_Open();
    // The seven fields that edit a key each, with their keys, in the order they are read
    // and stored.
    QList<std::pair<QLineEdit *, QString>> keyedFields() const;
};
