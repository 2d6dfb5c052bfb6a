// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/windows/Window1.h"

#include "core/platform/ErrorReport.h"
#include "core/platform/HttpClient.h"
#include "core/platform/Services.h"
#include "core/trigger/RelayCommand.h"
#include "core/trigger/TriggerController.h"
#include "gui/framework/Application.h"
#include "gui/framework/Canvas.h"
#include "gui/framework/DesignFont.h"
#include "gui/framework/DisclosureTriangle.h"
#include "gui/framework/Label.h"
#include "gui/framework/MsgBox.h"
#include "gui/framework/Rectangle.h"
#include "gui/widgets/largeButton.h"
#include "gui/widgets/medButton.h"
#include "gui/windows/BundleResources.h"
#include "gui/windows/MainMenuBar.h"
#include "gui/windows/PeerBoxes.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {
Window1 *s_window = nullptr;

const QColor kBackground(0x4B, 0x4B, 0x4B);
const QColor kLogCell(0x00, 0x24, 0x51);
const QColor kLogText(0x00, 0xFF, 0x00);
const QColor kEnabledText(0xFF, 0x70, 0x08);
const QColor kDisabledText(0x18, 0x9F, 0x9D);
const QColor kBlack(0x00, 0x00, 0x00);

// Paints the log's cells through the window's two paint handlers.
class LogCellPainter : public QStyledItemDelegate
{
public:
    LogCellPainter(Window1 *window, QObject *parent) : QStyledItemDelegate(parent), m_window(window) { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->translate(option.rect.topLeft());
        const QRect cell(0, 0, option.rect.width(), option.rect.height());
        m_window->Log_CellBackgroundPaint(*painter, cell, index.row(), index.column());
        const QFontMetrics metrics(option.font);
        const int x = 2;
        const int y = (cell.height() + metrics.ascent() - metrics.descent()) / 2;
        m_window->Log_CellTextPaint(*painter, index.row(), index.column(), x, y);
        painter->setFont(option.font);
        painter->drawText(x, y, index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

private:
    Window1 *m_window;
};

// An opaque label fills its box with the window's background.
QLabel *makeLabel(QWidget *parent, const QString &text, int designPoints, bool opaque)
{
    QLabel *label = ::makeLabel(parent, text, designPoints);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, kBackground);
    label->setPalette(palette);
    label->setAutoFillBackground(opaque);
    return label;
}

medButton *makeKeyButton(QWidget *parent, const QString &caption)
{
    auto *button = new medButton(parent);
    button->setBackdrop(buttonBD());
    button->setCaption(caption);
    button->setTextColor(QColor(0x4B, 0x4B, 0x4B));
    button->setBgColor(QColor(0xC8, 0xC8, 0xC8));
    button->setTextSize(0);
    button->setState(CanvasButton::State::Normal);
    return button;
}

largeButton *makeTriggerButton(
    QWidget *parent, const QString &caption, const QColor &textColor, CanvasButton::State state)
{
    auto *button = new largeButton(parent);
    button->setCaption(caption);
    button->setTextColor(textColor);
    button->setBgColor(QColor(0x96, 0x96, 0x96));
    button->setTextSize(40);
    button->setState(state);
    return button;
}

// A control's handler, run under the one report of what escapes it.
template<typename Handler> auto handler(const char *name, Handler run)
{
    return [name, run] { ErrorReport::guarded(name, run); };
}

// The services of a main window made with no application object around it: the system's,
// with a client of their own that lives as long as the process's application.
const Services &standaloneServices()
{
    static const Services services = Services::system(new HttpClient(QCoreApplication::instance()));
    return services;
}

const Services &currentServices()
{
    if (Application *app = Application::instance())
        return app->services();
    return standaloneServices();
}
} // namespace

Window1 *Window1::instance()
{
    if (s_window)
        return s_window;
    return instance(currentServices(), Application::currentBoxAnswerer());
}

Window1 *Window1::instance(const Services &services, const MsgBox::Responder &boxAnswerer)
{
    if (s_window)
        return s_window;
    if (Application *app = Application::instance(); app && app->isQuitting())
        return nullptr;
    auto *window = new Window1(services, boxAnswerer);
    s_window = window;
    ErrorReport::guarded("Window1.Open", [window] { window->Event_Open(); });
    if (s_window == window)
        window->show();
    return s_window;
}

Window1 *Window1::openInstance()
{
    return s_window;
}

Window1::Window1(const Services &services, const MsgBox::Responder &boxAnswerer) : m_boxAnswerer(boxAnswerer)
{
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    m_controller = new TriggerController(services, this);
    CreateControls();
    connectController(services);
}

Window1::~Window1()
{
    if (s_window == this)
        s_window = nullptr;
}

void Window1::Layout()
{
    MainMenuBar::attachTo(this);
    setWindowTitle(QStringLiteral("Brenvale Control"));
    QPalette palette = content()->palette();
    palette.setColor(QPalette::Window, kBackground);
    content()->setPalette(palette);
    content()->setAutoFillBackground(true);
    setDesignSize(428, 354);
    MinimumWidth = 428;
    MinimumHeight = 354;
    MaximumWidth = 428;
    MaximumHeight = 200;
}

void Window1::CreateControls()
{
    QWidget *area = content();

    Log = new QListWidget(area);
    place(Log, QRect(20, 186, 388, 114), Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    Log->setFont(QFont(QStringLiteral("JetBrains Mono")));
    Log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Log->setFocusPolicy(Qt::NoFocus);
    Log->setUniformItemSizes(true);
    Log->setSelectionMode(QAbstractItemView::NoSelection);
    Log->setItemDelegate(new LogCellPainter(this, Log));
    {
        QPalette palette = Log->palette();
        palette.setColor(QPalette::Base, kLogCell);
        Log->setPalette(palette);
    }

    connectedToCaption = makeLabel(area, QStringLiteral("Connected to:"), 12, true);
    place(connectedToCaption, QRect(23, 309, 86, 21), Qt::LeftEdge | Qt::BottomEdge);

    GreenTallyLED = new Rectangle(area);
    GreenTallyLED->setFillColor(QColor(0x64, 0x64, 0x64));
    GreenTallyLED->setGeometry(214, 0, 214, 30);
    RedTallyLED = new Rectangle(area);
    RedTallyLED->setFillColor(QColor(0x64, 0x64, 0x64));
    RedTallyLED->setGeometry(0, 0, 214, 30);

    version = makeLabel(area, QStringLiteral("v"), 0, false);
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(version, QRect(214, 327, 146, 20), Qt::RightEdge | Qt::BottomEdge);

    currAddress = makeLabel(area, QStringLiteral("192.168.000.001"), 0, false);
    place(currAddress, QRect(105, 309, 100, 20), Qt::LeftEdge | Qt::BottomEdge);

    vtIdCaption = makeLabel(area, QStringLiteral("VT ID:"), 12, true);
    place(vtIdCaption, QRect(23, 327, 39, 21), Qt::LeftEdge | Qt::BottomEdge);

    VTid_disp = makeLabel(area, QStringLiteral("Untitled"), 0, false);
    place(VTid_disp, QRect(105, 327, 100, 20), Qt::LeftEdge | Qt::BottomEdge);

    expandTriangle = new DisclosureTriangle(area);
    expandTriangle->setGeometry(0, 140, 18, 18);
    expandTriangle->setToolTip(QStringLiteral("click for more"));
    expandTriangle->setValue(false);
    connect(expandTriangle, &DisclosureTriangle::Action, this,
        handler("Window1.DisclosureTriangle1_Action", [this] { expandTriangle_Action(); }));

    const auto keyButton
        = [this, area](medButton *&button, const QString &caption, int x, int relayCode, const char *name) {
              button = makeKeyButton(area, caption);
              button->setGeometry(x, 109, 90, 33);
              connect(button, &medButton::Action, this,
                  handler(name, [this, relayCode] { m_controller->keyClicked(relayCode); }));
          };
    keyButton(key1on, QStringLiteral("Key 1 On"), 20, RelayCommand::Key1On, "Window1.key1on_Action");
    keyButton(key1off, QStringLiteral("Key 1 Off"), 120, RelayCommand::Key1Off, "Window1.key1off_Action");
    keyButton(key2on, QStringLiteral("Key 2 On"), 219, RelayCommand::Key2On, "Window1.key2on_Action");
    keyButton(key2off, QStringLiteral("Key 2 Off"), 318, RelayCommand::Key2Off, "Window1.key2off_Action");

    tallyCaption = makeLabel(area, QStringLiteral("Tally"), 0, true);
    {
        QFont font = tallyCaption->font();
        font.setBold(true);
        tallyCaption->setFont(font);
    }
    tallyCaption->setAlignment(Qt::AlignCenter);
    tallyCaption->setGeometry(164, 6, 100, 20);

    tallyStart = new QCheckBox(QStringLiteral("Tally Start"), area);
    tallyStart->setFont(designFont());
    tallyStart->setGeometry(120, 154, 100, 20);
    tallyStart->setToolTip(QStringLiteral("auto start playlist"));
    tallyStart->setFocusPolicy(Qt::StrongFocus);
    tallyEnable = new QCheckBox(QStringLiteral("Tally Enable"), area);
    tallyEnable->setFont(designFont());
    tallyEnable->setGeometry(220, 154, 100, 20);
    tallyEnable->setToolTip(QStringLiteral("auto enable control"));
    tallyEnable->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(tallyStart, tallyEnable);
    // The trigger reads the boxes as shown, however they were set.
    connect(tallyStart, &QAbstractButton::toggled, m_controller, &TriggerController::setTallyStart);
    connect(tallyEnable, &QAbstractButton::toggled, m_controller, &TriggerController::setTallyEnable);
    connect(tallyStart, &QAbstractButton::clicked, m_controller, &TriggerController::tallyStartClicked);
    connect(tallyEnable, &QAbstractButton::clicked, m_controller, &TriggerController::tallyEnableClicked);

    playButton = makeKeyButton(area, QStringLiteral("Play"));
    playButton->setGeometry(20, 146, 90, 33);
    playButton->setToolTip(QStringLiteral("start playlist"));
    playButton->setVisible(false);
    connect(playButton, &medButton::Action, this,
        handler("Window1.playButton_Action", [this] { m_controller->playClicked(); }));

    MarkLog = makeKeyButton(area, QStringLiteral("Mark Log"));
    MarkLog->setGeometry(318, 146, 90, 33);
    MarkLog->setToolTip(QStringLiteral("enter a mark in OTA log"));
    MarkLog->setVisible(false);
    connect(MarkLog, &medButton::Action, this,
        handler("Window1.MarkLog_Action", [this] { m_controller->markLogClicked(); }));

    tallyStart->setVisible(false);
    tallyEnable->setVisible(false);

    Enable = makeTriggerButton(area, QStringLiteral("Enable"), kBlack, CanvasButton::State::Normal);
    Enable->setGeometry(20, 34, 188, 70);
    connect(Enable, &largeButton::Action, this, handler("Window1.Enable_Action", [this] { Enable_Action(Enable); }));
    Disable = makeTriggerButton(area, QStringLiteral("Disable"), QColor(0x09, 0xAC, 0xAD), CanvasButton::State::Pushed);
    Disable->setGeometry(219, 34, 188, 70);
    connect(Disable, &largeButton::Action, this,
        handler("Window1.Disable_Action", [this] { m_controller->disableClicked(); }));

    CTlogo = new Canvas(area);
    CTlogo->setBackdrop(pixl1x());
    place(CTlogo, QRect(372, 303, 37, 47), Qt::RightEdge | Qt::BottomEdge);
}

void Window1::connectController(const Services &services)
{
    TriggerController *trigger = m_controller;
    connect(trigger, &TriggerController::logRowAdded, this, &Window1::addLogRow);
    connect(trigger, &TriggerController::redLampChanged, this,
        [this](const TallyAction::LampLook &look) { showLamp(RedTallyLED, look); });
    connect(trigger, &TriggerController::greenLampChanged, this,
        [this](const TallyAction::LampLook &look) { showLamp(GreenTallyLED, look); });
    connect(trigger, &TriggerController::triggerShown, this, &Window1::showTrigger);
    connect(trigger, &TriggerController::connectedToChanged, currAddress, &QLabel::setText);
    connect(trigger, &TriggerController::vtIdChanged, VTid_disp, &QLabel::setText);
    connect(trigger, &TriggerController::tallyStartShown, tallyStart, &QAbstractButton::setChecked);
    connect(trigger, &TriggerController::tallyEnableShown, tallyEnable, &QAbstractButton::setChecked);

    m_peerBoxes = new PeerBoxes(
        [trigger] { return trigger->isReceivingPeerMessages(); }, services.monotonicMs, m_boxAnswerer, this);
    connect(trigger, &TriggerController::peerMessage, m_peerBoxes, &PeerBoxes::show);

    // A request that fails after this window closed is logged by the main window open then,
    // a new one if none is.
    trigger->setFailureSink([]() -> TriggerController * {
        Window1 *window = Window1::instance();
        return window ? window->controller() : nullptr;
    });
}

void Window1::Event_Open()
{
    Log->setVisible(false);
    setHeight(200);

    switch (m_controller->openSockets()) {
    case TriggerController::OpenOutcome::PeerPortTaken:
        MsgBox::show(QStringLiteral("Error binding port."), m_boxAnswerer);
        if (Application *app = Application::instance())
            app->StandDown(0);
        break;
    case TriggerController::OpenOutcome::TallyGroupRefused:
        MsgBox::show(QStringLiteral("Could not join multicast group!"), m_boxAnswerer);
        return;
    case TriggerController::OpenOutcome::Opened:
    case TriggerController::OpenOutcome::NoNetwork:
        break;
    }

    m_controller->takeStoredSettings();
    if (Application *app = Application::instance()) {
        version->setText(QStringLiteral("v %1.%2").arg(app->MinorVersion).arg(app->NonReleaseVersion));
        app->setAutoQuit(true);
    }
}

void Window1::closeEvent(QCloseEvent *event)
{
    Window::closeEvent(event);
    if (s_window == this)
        s_window = nullptr;
}

void Window1::Event_Close()
{
    m_controller->close();
    if (Application *app = Application::instance())
        app->Quit(0);
}

// ---- What the trigger shows ----

void Window1::addLogRow(const QString &row)
{
    Log->insertItem(0, row);
    while (Log->count() > LogCapacity)
        delete Log->takeItem(Log->count() - 1);
}

bool Window1::Log_CellBackgroundPaint(QPainter &g, const QRect &cell, int, int)
{
    g.fillRect(cell, kLogCell);
    return false;
}

bool Window1::Log_CellTextPaint(QPainter &g, int, int, int, int)
{
    g.setPen(kLogText);
    return false;
}

void Window1::showLamp(Rectangle *lamp, const TallyAction::LampLook &look)
{
    if (look.left || look.width) {
        QRect geometry = lamp->geometry();
        if (look.left)
            geometry.moveLeft(*look.left);
        if (look.width)
            geometry.setWidth(*look.width);
        lamp->setGeometry(geometry);
    }
    if (look.fill)
        lamp->setFillColor(QColor::fromRgb(*look.fill));
}

void Window1::showTrigger(bool enabled)
{
    largeButton *pushed = enabled ? Enable : Disable;
    largeButton *released = enabled ? Disable : Enable;
    pushed->SetFocus();
    pushed->setState(CanvasButton::State::Pushed);
    released->setState(CanvasButton::State::Normal);
    released->Invalidate(true);
    pushed->Invalidate(true);
    released->setTextColor(kBlack);
    pushed->setTextColor(enabled ? kEnabledText : kDisabledText);
}

// ---- Operator controls ----

void Window1::Enable_Action(largeButton *sender)
{
    sender->setState(CanvasButton::State::Pushed);
    Disable->setState(CanvasButton::State::Normal);
    Disable->Invalidate(true);
    sender->Invalidate(true);
    m_controller->enableClicked();
}

void Window1::expandTriangle_Action()
{
    if (expandTriangle->Value()) {
        MaximumHeight = 1024;
        MaximumWidth = 1024;
        setHeight(windowHeight);
        setWidth(windowWidth);
        Log->setVisible(true);
        MarkLog->setVisible(true);
        playButton->setVisible(true);
        tallyStart->setVisible(true);
        tallyEnable->setVisible(true);
    } else {
        MaximumHeight = 200;
        MaximumWidth = 428;
        windowHeight = Height();
        windowWidth = Width();
        Log->setVisible(false);
        MarkLog->setVisible(false);
        playButton->setVisible(false);
        tallyStart->setVisible(false);
        tallyEnable->setVisible(false);
        setHeight(200);
        setWidth(428);
    }
}
