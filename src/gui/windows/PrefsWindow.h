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
    QPushButton *updateIPButton = nullptr;
    QLabel *newAddressLabel = nullptr;
    QLineEdit *newAddress = nullptr;
    QLabel *currentAddressLabel = nullptr;
    QLineEdit *prefLogPath = nullptr;
    QLabel *logPathLabel = nullptr;
    QLineEdit *VTid = nullptr;
    QLabel *vtIdLabel = nullptr;
    QLineEdit *AddressField = nullptr;
    QLabel *relayBoxLabel = nullptr;
    QLabel *motion2NameLabel = nullptr;
    QPushButton *openInFinderButton = nullptr;
    QLabel *motion1NameLabel = nullptr;
    QLineEdit *motion1Name = nullptr;
    QLabel *chrWorksIPLabel = nullptr;
    QLineEdit *chrWorksIP = nullptr;
    QLineEdit *motion2Name = nullptr;
    QLineEdit *chrWorksIPBup = nullptr;
    QLabel *chrWorksIPBupLabel = nullptr;
    QFrame *logPathRule = nullptr;
    QFrame *relayBoxRule = nullptr;

    void updateIPButton_Action();
    void openInFinderButton_Action();

protected:
    void Event_Close() override;

private:
    PrefsWindow();
    void Layout();
    void CreateControls();
    void Event_Open();
    // The seven fields that edit a key each, with their keys, in the order they are read
    // and stored.
    QList<std::pair<QLineEdit *, QString>> keyedFields() const;
};
