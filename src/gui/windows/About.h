// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "gui/framework/Window.h"

class Canvas;
class QLabel;

// The About window: the product strap with title, version and year, the maker's rights line
// and a link to the maker's web site. Built hidden; the About command centres and shows it.
class About : public Window
{
    Q_OBJECT
public:
    // The open About window, or a new hidden one (whose Open event has run).
    static About *instance();
    static About *openInstance();
    ~About() override;

    // Centres the window on the main screen, taken whole, truncating each offset toward zero.
    void centreOnMainScreen();

    static const QString webAddress;

    Canvas *strap = nullptr;
    QLabel *titleLabel = nullptr;
    // Shows nothing: it holds the place left of the version text.
    QLabel *emptyLabel = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *yearLabel = nullptr;
    QLabel *rightsLabel = nullptr;
    QLabel *webLink = nullptr;

    bool webLink_MouseDown(int x, int y);

protected:
    void Event_Close() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    About();
    void Layout();
    void CreateControls();
    void Event_Open();
};
