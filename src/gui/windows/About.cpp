// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/windows/About.h"

#include "core/platform/ErrorReport.h"
#include "gui/framework/Canvas.h"
#include "gui/framework/Desktop.h"
#include "gui/framework/Label.h"
#include "gui/windows/BundleResources.h"
#include "gui/windows/MainMenuBar.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>

namespace {
About *s_about = nullptr;

QLabel *makeLabel(QWidget *parent, const QString &text, const QRect &geometry)
{
    QLabel *label = ::makeLabel(parent, text);
    label->setGeometry(geometry);
    return label;
}
} // namespace

const QString About::webAddress = QStringLiteral("https://brenvale.org/control");

About *About::instance()
{
    if (s_about)
        return s_about;
    s_about = new About();
    ErrorReport::guarded("About.Open", [] { s_about->Event_Open(); });
    return s_about;
}

About *About::openInstance()
{
    return s_about;
}

About::About()
{
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
}

About::~About()
{
    if (s_about == this)
        s_about = nullptr;
}

void About::Layout()
{
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    MinimumWidth = 64;
    MinimumHeight = 64;
    MaximumWidth = 32000;
    MaximumHeight = 32000;
    setDesignSize(388, 163);
    // Not resizable.
    setFixedSize(388, 163);
    setVisible(false);
    // No menu bar of its own here, but the menu's shortcuts (Close among them) act in it too.
    addActions(MainMenuBar::instance()->FileMenu()->actions());
    MainMenuBar::closeByShortcut(this);
}

void About::CreateControls()
{
    strap = new Canvas(content());
    strap->setBackdrop(AppStrap());
    place(strap, QRect(20, 20, 348, 94));

    titleLabel = makeLabel(strap, QStringLiteral("Brenvale Control"), QRect(150, 21, 128, 20));
    emptyLabel = makeLabel(strap, QString(), QRect(150, 39, 34, 20));
    versionLabel = makeLabel(strap, QStringLiteral("xxxx"), QRect(191, 39, 117, 20));
    yearLabel = makeLabel(strap, QStringLiteral("2020"), QRect(150, 57, 117, 20));
    rightsLabel = makeLabel(content(), QStringLiteral("\u00A9 Brenvale"), QRect(242, 113, 117, 20));
    rightsLabel->setAlignment(Qt::AlignCenter);
    place(rightsLabel, QRect(242, 113, 117, 20));
    webLink = makeLabel(content(), QStringLiteral("brenvale.org"), QRect(20, 113, 133, 20));
    webLink->setAlignment(Qt::AlignCenter);
    {
        QPalette palette = webLink->palette();
        palette.setColor(QPalette::WindowText, QColor(0x00, 0x2A, 0xFF));
        webLink->setPalette(palette);
        QFont font = webLink->font();
        font.setUnderline(true);
        webLink->setFont(font);
    }
    webLink->setCursor(Qt::PointingHandCursor);
    place(webLink, QRect(20, 113, 133, 20));
    webLink->installEventFilter(this);
}

bool About::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == webLink && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        bool handled = false;
        // Reported under the handler name the system log has always shown.
        ErrorReport::guarded("About.Label6_MouseDown",
            [&] { handled = webLink_MouseDown(press->position().toPoint().x(), press->position().toPoint().y()); });
        return handled;
    }
    return Window::eventFilter(watched, event);
}

bool About::webLink_MouseDown(int, int)
{
    Desktop::showURL(webAddress);
    return false;
}

void About::centreOnMainScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect whole = screen->geometry();
    setTop(static_cast<int>((whole.height() - Height()) / 2.0));
    setLeft(static_cast<int>((whole.width() - Width()) / 2.0));
}

void About::Event_Open()
{
    centreOnMainScreen();
    FileClose()->setVisible(true);
}

void About::Event_Close()
{
    FileClose()->setVisible(false);
    if (s_about == this)
        s_about = nullptr;
}
