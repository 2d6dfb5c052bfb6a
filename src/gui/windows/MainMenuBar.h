// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class Window;

// The program's one menu bar: "&File" with About, Preferences, Close and Quit. Every window
// that shows a menu bar shows these very items, so a change of an item's visibility shows in
// every window at once.
class MainMenuBar : public QObject
{
    Q_OBJECT
public:
    // The one menu bar, built on the first call.
    static MainMenuBar *instance();

    QMenu *FileMenu() const { return m_fileMenu; }
    // The item with that Name, looked up inside the menu as well; nullptr when none.
    QAction *Child(const QString &name) const;

    // Binds a menu command by item name. The handler gets the item's Index (0 when the item
    // has none) and answers whether it handled the choice.
    void AddMenuHandler(const QString &name, std::function<bool(int index)> handler);

    // Gives a window its menu bar showing the shared menu.
    static void attachTo(Window *window);
    // Ctrl+W closes `window` whenever it is in front. The Close item's own shortcut acts only
    // while the item shows, and the item follows the latest Open or Close event of the About and
    // preferences windows: with both open, closing one hides it while the other stays in front.
    static void closeByShortcut(Window *window);

    // The Shortcut texts are written for the Command key ("Cmd+W"); here Ctrl takes its place.
    static QString shortcutOf(const QAction *item);

private:
    MainMenuBar();
    void Untitled0();
    QAction *addItem(const QString &name, const QString &caption, const QString &shortcut, bool visible, int index);

    QMenu *m_fileMenu = nullptr;
};

// The "FileClose" item of the application's menu bar.
QAction *FileClose();
