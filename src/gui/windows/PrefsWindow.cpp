// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/windows/PrefsWindow.h"

#include "core/platform/ErrorReport.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/RelayCommand.h"
#include "core/trigger/TriggerController.h"
#include "gui/framework/Application.h"
#include "gui/framework/DesignFont.h"
#include "gui/framework/Desktop.h"
#include "gui/framework/Label.h"
#include "gui/framework/MsgBox.h"
#include "gui/windows/MainMenuBar.h"
#include "gui/windows/Window1.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
PrefsWindow *s_prefs = nullptr;

QLineEdit *makeField(QWidget *parent, const QString &hint, int pointSize)
{
    auto *field = new QLineEdit(parent);
    field->setPlaceholderText(hint);
    field->setFont(designFont(pointSize));
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xFF));
    palette.setColor(QPalette::Text, QColor(0, 0, 0));
    field->setPalette(palette);
    field->setFocusPolicy(Qt::StrongFocus);
    return field;
}

QFrame *makeLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 0));
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}
} // namespace

PrefsWindow *PrefsWindow::instance()
{
    if (s_prefs)
        return s_prefs;
    s_prefs = new PrefsWindow();
    PrefsWindow *window = s_prefs;
    ErrorReport::guarded("PrefsWindow.Open", [window] { window->Event_Open(); });
    window->show();
    return window;
}

PrefsWindow *PrefsWindow::openInstance()
{
    return s_prefs;
}

PrefsWindow::PrefsWindow()
{
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
}

PrefsWindow::~PrefsWindow()
{
    if (s_prefs == this)
        s_prefs = nullptr;
}

void PrefsWindow::Layout()
{
    MainMenuBar::attachTo(this);
    MainMenuBar::closeByShortcut(this);
    setWindowTitle(QStringLiteral("Preferences"));
    setDesignSize(320, 423);
    // The design's height limits (187 both) lie below the height the layout needs; the
    // window keeps that height and lets the operator change only its width.
    MinimumWidth = 320;
    MinimumHeight = 423;
    MaximumWidth = 1024;
    MaximumHeight = 423;
    applySizeLimits();
}

void PrefsWindow::CreateControls()
{
    QWidget *area = content();
    constexpr Qt::Edges noLock = {};
    constexpr auto topLeft = Qt::LeftEdge | Qt::TopEdge;

    updateIPButton = new QPushButton(QStringLiteral("Update IP"), area);
    updateIPButton->setFont(designFont());
    place(updateIPButton, QRect(220, 383, 80, 20), topLeft);
    newAddressLabel = makeLabel(area, QStringLiteral("New address"), 12);
    place(newAddressLabel, QRect(20, 350, 85, 21), noLock);
    newAddress = makeField(area, QStringLiteral("IP Address"), 12);
    place(newAddress, QRect(208, 349, 92, 22), noLock);
    currentAddressLabel = makeLabel(area, QStringLiteral("Current address"), 12);
    place(currentAddressLabel, QRect(20, 316, 98, 21), noLock);
    prefLogPath = makeField(area, QStringLiteral("On The Air log path"), 0);
    place(prefLogPath, QRect(20, 233, 280, 22), Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge);
    logPathLabel = makeLabel(area, QStringLiteral("On The Air Log File Path"), 12);
    place(logPathLabel, QRect(20, 200, 144, 21), noLock);
    VTid = makeField(area, QStringLiteral("VT Id"), 0);
    VTid->setText(QStringLiteral("1"));
    place(VTid, QRect(276, 19, 24, 22), topLeft);
    vtIdLabel = makeLabel(area, QStringLiteral("VT ID"), 12);
    place(vtIdLabel, QRect(20, 20, 39, 21), noLock);
    AddressField = makeField(area, QStringLiteral("IP Address"), 12);
    place(AddressField, QRect(208, 316, 92, 22), noLock);
    relayBoxLabel = makeLabel(area, QStringLiteral("Legacy relay box IP address"), 0);
    place(relayBoxLabel, QRect(20, 284, 182, 20), topLeft);
    motion2NameLabel = makeLabel(area, QStringLiteral("Motion 2 name"), 12);
    place(motion2NameLabel, QRect(20, 155, 98, 21), noLock);
    openInFinderButton = new QPushButton(QStringLiteral("Open in Finder"), area);
    openInFinderButton->setFont(designFont());
    place(openInFinderButton, QRect(182, 201, 118, 20), topLeft);
    motion1NameLabel = makeLabel(area, QStringLiteral("Motion 1 name"), 12);
    place(motion1NameLabel, QRect(20, 122, 98, 21), noLock);
    motion1Name = makeField(area, QStringLiteral("motion name"), 12);
    place(motion1Name, QRect(208, 121, 92, 22), noLock);
    chrWorksIPLabel = makeLabel(area, QStringLiteral("Character Works Main IP addr"), 12);
    place(chrWorksIPLabel, QRect(20, 54, 188, 21), noLock);
    chrWorksIP = makeField(area, QStringLiteral("IP address"), 12);
    place(chrWorksIP, QRect(208, 54, 92, 22), noLock);
    motion2Name = makeField(area, QStringLiteral("motion name"), 12);
    place(motion2Name, QRect(208, 154, 92, 22), noLock);
    chrWorksIPBup = makeField(area, QStringLiteral("IP address"), 12);
    place(chrWorksIPBup, QRect(208, 87, 92, 22), noLock);
    chrWorksIPBupLabel = makeLabel(area, QStringLiteral("Character Works Backup IP addr"), 12);
    place(chrWorksIPBupLabel, QRect(20, 87, 188, 21), noLock);
    logPathRule = makeLine(area);
    place(logPathRule, QRect(20, 188, 281, 1), noLock);
    relayBoxRule = makeLine(area);
    place(relayBoxRule, QRect(20, 272, 281, 1), noLock);

    for (QPushButton *button : {updateIPButton, openInFinderButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    // The report names keep the handler names the system log has always shown.
    connect(updateIPButton, &QPushButton::clicked, this,
        [this] { ErrorReport::guarded("PrefsWindow.PushButton1_Action", [this] { updateIPButton_Action(); }); });
    connect(openInFinderButton, &QPushButton::clicked, this,
        [this] { ErrorReport::guarded("PrefsWindow.PushButton2_Action", [this] { openInFinderButton_Action(); }); });

    // The keyboard focus runs down the fields and buttons in their tab order.
    QWidget *order[] = {VTid, chrWorksIP, chrWorksIPBup, motion1Name, motion2Name, openInFinderButton, prefLogPath,
        AddressField, newAddress, updateIPButton};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

QList<std::pair<QLineEdit *, QString>> PrefsWindow::keyedFields() const
{
    return {{chrWorksIP, QStringLiteral("chrWorksIP")}, {chrWorksIPBup, QStringLiteral("chrWorksIPBup")},
        {motion1Name, QStringLiteral("motion1Name")}, {motion2Name, QStringLiteral("motion2Name")},
        {AddressField, QStringLiteral("IPAddr")}, {prefLogPath, QStringLiteral("LogPath")},
        {VTid, QStringLiteral("VTid")}};
}

void PrefsWindow::Event_Open()
{
    for (const auto &[field, key] : keyedFields())
        field->setText(ModernPreferences::Preferences[key].toString());
    FileClose()->setVisible(true);
}

void PrefsWindow::Event_Close()
{
    auto &prefs = ModernPreferences::Preferences;
    for (const auto &[field, key] : keyedFields())
        prefs[key] = field->text();
    if (!prefs->Save())
        MsgBox::show(QStringLiteral("Could not save preferences."), Application::currentBoxAnswerer());

    // When the program quits with this window open the main window may be gone already; it
    // is then left alone rather than made again.
    if (Window1 *main = Window1::openInstance())
        main->controller()->settingsStored(prefs[QStringLiteral("VTid")].toString(),
            prefs[QStringLiteral("chrWorksIP")].toString(), prefLogPath->text());
    FileClose()->setVisible(false);
    if (s_prefs == this)
        s_prefs = nullptr;
}

void PrefsWindow::updateIPButton_Action()
{
    const MsgBox::Answer answer
        = MsgBox::ask(QStringLiteral("Are you sure you want to update the IP address of the relaybox?"), QString(),
            Application::currentBoxAnswerer());
    if (answer != MsgBox::Answer::Yes)
        return;
    Window1 *main = Window1::instance();
    if (!main)
        return;
    // Once the relay box has been sent its new address this window has done its job.
    TriggerController *trigger = main->controller();
    const QMetaObject::Connection sent = connect(trigger, &TriggerController::relayAddressSent, this, &QWidget::close);
    trigger->SendMessage(RelayCommand::NewAddress, newAddress->text());
    disconnect(sent);
}

void PrefsWindow::openInFinderButton_Action()
{
    Desktop::openFolder(prefLogPath->text());
}
