// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/windows/MainMenuBar.h"

#include "core/platform/ErrorReport.h"
#include "gui/framework/Application.h"
#include "gui/framework/Window.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace {
const char *const kShortcutProperty = "Shortcut";
const char *const kIndexProperty = "Index";
} // namespace

MainMenuBar *MainMenuBar::instance()
{
    static MainMenuBar *menuBar = new MainMenuBar();
    return menuBar;
}

MainMenuBar::MainMenuBar()
{
    Untitled0();
}

void MainMenuBar::Untitled0()
{
    m_fileMenu = new QMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("FileMenu"));
    m_fileMenu->menuAction()->setObjectName(QStringLiteral("FileMenu"));
    m_fileMenu->menuAction()->setVisible(true);

    addItem(QStringLiteral("FileAbout"), QStringLiteral("About"), QStringLiteral("Cmd+?"), true, -1);
    addItem(QStringLiteral("FilePrefs"), QStringLiteral("Preferences"), QStringLiteral("Cmd+,"), true, 0);
    addItem(QStringLiteral("FileClose"), QStringLiteral("Close"), QStringLiteral("Cmd+W"), false, -1);
    QAction *quit = addItem(QStringLiteral("FileQuit"), QStringLiteral("&Quit"), QStringLiteral("Cmd+Q"), true, -1);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [] {
        if (Application *app = Application::instance())
            app->Quit(0);
    });
}

QAction *MainMenuBar::addItem(
    const QString &name, const QString &caption, const QString &shortcut, bool visible, int index)
{
    auto *item = new QAction(caption, m_fileMenu);
    item->setObjectName(name);
    if (index >= 0)
        item->setProperty(kIndexProperty, index);
    item->setProperty(kShortcutProperty, shortcut);
    QString keys = shortcut;
    keys.replace(QLatin1String("Cmd+"), QLatin1String("Ctrl+"));
    item->setShortcut(QKeySequence(keys));
    item->setShortcutContext(Qt::WindowShortcut);
    item->setVisible(visible);
    m_fileMenu->addAction(item);
    return item;
}

QAction *MainMenuBar::Child(const QString &name) const
{
    if (name == QLatin1String("FileMenu"))
        return m_fileMenu->menuAction();
    return m_fileMenu->findChild<QAction *>(name);
}

QString MainMenuBar::shortcutOf(const QAction *item)
{
    return item->property(kShortcutProperty).toString();
}

void MainMenuBar::AddMenuHandler(const QString &name, std::function<bool(int)> handler)
{
    QAction *item = Child(name);
    if (!item)
        return;
    connect(item, &QAction::triggered, this, [item, handler = std::move(handler)] {
        ErrorReport::guarded("Menu command", [&] { handler(item->property(kIndexProperty).toInt()); });
    });
}

void MainMenuBar::attachTo(Window *window)
{
    auto *bar = new QMenuBar(window);
    bar->setNativeMenuBar(false);
    bar->addMenu(instance()->FileMenu());
    // The shortcuts act in every window that shows the menu.
    window->addActions(instance()->FileMenu()->actions());
    window->setMenuBar(bar);
}

void MainMenuBar::closeByShortcut(Window *window)
{
    QAction *close = FileClose();
    // Enabled only while the item is hidden, so that one shortcut at a time claims the keys.
    auto *shortcut = new QShortcut(close->shortcut(), window);
    const auto follow = [shortcut, close] { shortcut->setEnabled(!close->isVisible()); };
    follow();
    connect(close, &QAction::visibleChanged, shortcut, follow);
    connect(shortcut, &QShortcut::activated, close, &QAction::trigger);
}

QAction *FileClose()
{
    return MainMenuBar::instance()->Child(QStringLiteral("FileClose"));
}
