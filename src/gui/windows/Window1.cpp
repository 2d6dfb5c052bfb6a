// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/windows/Window1.h"

#include "gui/framework/Application.h"
#include "core/groupmsg/AutoDiscovery.h"
#include "gui/windows/BundleResources.h"
#include "core/trigger/Playout.h"
#include "gui/framework/Canvas.h"
#include "core/trigger/ChrWorksBody.h"
#include "core/platform/Clock.h"
#include "core/trigger/DailyLogFile.h"
#include "core/platform/DebugLog.h"
#include "gui/framework/DesignFont.h"
#include "gui/framework/DisclosureTriangle.h"
#include "core/platform/ErrorReport.h"
#include "core/platform/HostNetwork.h"
#include "gui/framework/Label.h"
#include "gui/windows/MainMenuBar.h"
#include "core/prefs/ModernPreferences.h"
#include "gui/framework/MsgBox.h"
#include "gui/windows/PeerBoxes.h"
#include "gui/windows/PrefsWindow.h"
#include "gui/framework/Rectangle.h"
#include "core/trigger/RelayCommand.h"
#include "core/trigger/TSLTallyPacket.h"
#include "core/trigger/TallyAction.h"
#include "core/platform/UDPSocket.h"
#include "core/trigger/WebClass.h"
#include "gui/widgets/largeButton.h"
#include "gui/widgets/medButton.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {
Window1 *s_window = nullptr;

const QColor kBackground(0x4B, 0x4B, 0x4B);
const QColor kLogCell(0x00, 0x24, 0x51);
const QColor kLogText(0x00, 0xFF, 0x00);
const QColor kEnabledText(0xFF, 0x70, 0x08);
const QColor kDisabledText(0x18, 0x9F, 0x9D);
const QColor kBlack(0x00, 0x00, 0x00);

// Wraps an event handler so that an error escaping it ends only that handler.
template<typename Handler>
auto handled(const char *name, Handler handler)
{
    return [name, handler](auto &&...args) { ErrorReport::guarded(name, [&] { handler(args...); }); };
}

// Paints the log's cells through the window's two paint handlers.
class LogCellPainter : public QStyledItemDelegate
{
public:
    LogCellPainter(Window1 *window, QObject *parent) : QStyledItemDelegate(parent), m_window(window) {}

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

largeButton *makeTriggerButton(QWidget *parent, const QString &caption, const QColor &textColor, const QString &state)
{
    auto *button = new largeButton(parent);
    button->setCaption(caption);
    button->setTextColor(textColor);
    button->setBgColor(QColor(0x96, 0x96, 0x96));
    button->setTextSize(40);
    button->setState(state);
    return button;
}
} // namespace

Window1 *Window1::instance()
{
    if (s_window)
        return s_window;
    if (Application *app = Application::instance(); app && app->isQuitting())
        return nullptr;
    auto *window = new Window1();
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

Window1::Window1()
{
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
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
    _CreateControls0();
}

void Window1::_CreateControls0()
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

    RelayUDP = new UDPSocket(this);
    RelayUDP->setPort(5000);
    RelayUDP->setRouterHops(32);
    RelayUDP->setSendToSelf(false);
    connect(RelayUDP, &UDPSocket::DataAvailable, this, handled("Window1.RelayUDP_DataAvailable", [this] { RelayUDP_DataAvailable(); }));
    connect(RelayUDP, &UDPSocket::Error, this,
            handled("Window1.RelayUDP_Error", [this](int, const QString &message) { RelayUDP_Error(message); }));

    StaticText1 = makeLabel(area, QStringLiteral("Connected to:"), 12, true);
    place(StaticText1, QRect(23, 309, 86, 21), Qt::LeftEdge | Qt::BottomEdge);

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

    Label1 = makeLabel(area, QStringLiteral("VT ID:"), 12, true);
    place(Label1, QRect(23, 327, 39, 21), Qt::LeftEdge | Qt::BottomEdge);

    VTid_disp = makeLabel(area, QStringLiteral("Untitled"), 0, false);
    place(VTid_disp, QRect(105, 327, 100, 20), Qt::LeftEdge | Qt::BottomEdge);

    ChatSocket = new AutoDiscovery(this);
    ChatSocket->setPort(0);
    ChatSocket->setRouterHops(2);
    ChatSocket->setSendToSelf(false);
    connect(ChatSocket, &AutoDiscovery::Error, this, handled("Window1.ChatSocket_Error", [this](int code) { ChatSocket_Error(code); }));
    connect(ChatSocket, &AutoDiscovery::MemberJoined, this,
            handled("Window1.ChatSocket_MemberJoined", [this](const QString &address) { ChatSocket_MemberJoined(address); }));
    connect(ChatSocket, &AutoDiscovery::MemberLeft, this,
            handled("Window1.ChatSocket_MemberLeft", [this](const QString &address) { ChatSocket_MemberLeft(address); }));
    connect(ChatSocket, &AutoDiscovery::ReceivedMessage, this,
            handled("Window1.ChatSocket_ReceivedMessage", [this](const QString &from, qint32 command, const QByteArray &data) {
                ChatSocket_ReceivedMessage(from, command, data);
            }));
    m_peerBoxes = new PeerBoxes([this] { return ChatSocket->IsReceiving(); }, this);

    TSLrx = new UDPSocket(this);
    TSLrx->setPort(8900);
    TSLrx->setRouterHops(24);
    TSLrx->setSendToSelf(false);
    connect(TSLrx, &UDPSocket::DataAvailable, this, handled("Window1.TSLrx_DataAvailable", [this] { TSLrx_DataAvailable(); }));
    connect(TSLrx, &UDPSocket::Error, this,
            handled("Window1.TSLrx_Error", [this](int, const QString &message) { TSLrx_Error(message); }));

    DisclosureTriangle1 = new DisclosureTriangle(area);
    DisclosureTriangle1->setGeometry(0, 140, 18, 18);
    DisclosureTriangle1->setToolTip(QStringLiteral("click for more"));
    DisclosureTriangle1->setValue(false);
    connect(DisclosureTriangle1, &DisclosureTriangle::Action, this,
            handled("Window1.DisclosureTriangle1_Action", [this] { DisclosureTriangle1_Action(); }));

    key1on = makeKeyButton(area, QStringLiteral("Key 1 On"));
    key1on->setGeometry(20, 109, 90, 33);
    connect(key1on, &medButton::Action, this, handled("Window1.key1on_Action", [this] { key1on_Action(); }));
    key1off = makeKeyButton(area, QStringLiteral("Key 1 Off"));
    key1off->setGeometry(120, 109, 90, 33);
    connect(key1off, &medButton::Action, this, handled("Window1.key1off_Action", [this] { key1off_Action(); }));
    key2on = makeKeyButton(area, QStringLiteral("Key 2 On"));
    key2on->setGeometry(219, 109, 90, 33);
    connect(key2on, &medButton::Action, this, handled("Window1.key2on_Action", [this] { key2on_Action(); }));
    key2off = makeKeyButton(area, QStringLiteral("Key 2 Off"));
    key2off->setGeometry(318, 109, 90, 33);
    connect(key2off, &medButton::Action, this, handled("Window1.key2off_Action", [this] { key2off_Action(); }));

    Label2 = makeLabel(area, QStringLiteral("Tally"), 0, true);
    {
        QFont font = Label2->font();
        font.setBold(true);
        Label2->setFont(font);
    }
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setGeometry(164, 6, 100, 20);

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
    connect(tallyStart, &QAbstractButton::clicked, this, [this] { m_tallyStartClicked = true; });
    connect(tallyEnable, &QAbstractButton::clicked, this, [this] { m_tallyEnableClicked = true; });

    playButton = makeKeyButton(area, QStringLiteral("Play"));
    playButton->setGeometry(20, 146, 90, 33);
    playButton->setToolTip(QStringLiteral("start playlist"));
    playButton->setVisible(false);
    connect(playButton, &medButton::Action, this, handled("Window1.playButton_Action", [this] { playButton_Action(); }));

    MarkLog = makeKeyButton(area, QStringLiteral("Mark Log"));
    MarkLog->setGeometry(318, 146, 90, 33);
    MarkLog->setToolTip(QStringLiteral("enter a mark in OTA log"));
    MarkLog->setVisible(false);
    connect(MarkLog, &medButton::Action, this, handled("Window1.MarkLog_Action", [this] { MarkLog_Action(); }));

    tallyStart->setVisible(false);
    tallyEnable->setVisible(false);

    Enable = makeTriggerButton(area, QStringLiteral("Enable"), kBlack, QStringLiteral("normal"));
    Enable->setGeometry(20, 34, 188, 70);
    connect(Enable, &largeButton::Action, this, handled("Window1.Enable_Action", [this] { Enable_Action(Enable); }));
    Disable = makeTriggerButton(area, QStringLiteral("Disable"), QColor(0x09, 0xAC, 0xAD), QStringLiteral("pushed"));
    Disable->setGeometry(219, 34, 188, 70);
    connect(Disable, &largeButton::Action, this, handled("Window1.Disable_Action", [this] { Disable_Action(); }));

    CTlogo = new Canvas(area);
    CTlogo->setBackdrop(pixl1x());
    place(CTlogo, QRect(372, 303, 37, 47), Qt::RightEdge | Qt::BottomEdge);

    UDPpollTimer = new QTimer(this);
    // Every 10 ms, within the 5% a coarse timer allows: the poll is a safety net behind the
    // socket's own reports, and a coarse timer wakes the idle program at about half the cost.
    UDPpollTimer->setTimerType(Qt::CoarseTimer);
    UDPpollTimer->setInterval(10);
    connect(UDPpollTimer, &QTimer::timeout, this,
            [this] { ErrorReport::guarded("Window1.UDPpollTimer_Action", [this] { UDPpollTimer_Action(); }); });
    UDPpollTimer->start();

}

void Window1::Event_Open()
{
    Log->setVisible(false);
    setHeight(200);

    if (HostNetwork::interfaceCount() > 0) {
        // The peer port first. Binds are exclusive, so it is held by one instance per host: a
        // second instance learns here that it must stand down, before it has taken the tally
        // or relay port or sent anything.
        ChatSocket->Bind(8083);
        if (ChatSocket->LastErrorCode() != 0) {
            MsgBox::show(QStringLiteral("Error binding port."));
            if (Application *app = Application::instance())
                app->StandDown(0);
        } else {
            TSLrx->setPort(8900);
            TSLrx->Connect();
            if (!TSLrx->JoinMulticastGroup(QStringLiteral("239.1.2.3"))) {
                // Without the tally group the program runs on without its peer socket, which
                // must hear nothing while the box is open.
                ChatSocket->Close();
                MsgBox::show(QStringLiteral("Could not join multicast group!"));
                return;
            }
            RelayUDP->Connect();
            ChatSocket->Register(QStringLiteral("Brenvale"));
            ChatSocket->UpdateMemberList();
        }
    }

    auto &prefs = ModernPreferences::Preferences;
    currAddress->setText(prefs[QStringLiteral("chrWorksIP")].toString());
    VTid_disp->setText(prefs[QStringLiteral("VTid")].toString());
    logPath = prefs[QStringLiteral("LogPath")].toString();
    if (Application *app = Application::instance()) {
        version->setText(QStringLiteral("v %1.%2").arg(app->MinorVersion).arg(app->NonReleaseVersion));
        app->setAutoQuit(true);
    }
    LogToOTA(QStringLiteral("Trigger Control Opened"));
    if (prefs[QStringLiteral("tslPlay")].toBool())
        tallyStart->setChecked(true);
    if (prefs[QStringLiteral("tslEnable")].toBool())
        tallyEnable->setChecked(true);
    m_settingsShown = true;
}

void Window1::closeEvent(QCloseEvent *event)
{
    Window::closeEvent(event);
    if (s_window == this)
        s_window = nullptr;
}

void Window1::Event_Close()
{
    auto &prefs = ModernPreferences::Preferences;
    // When the Open event ended early the boxes show their design state, not the settings: a
    // box the operator left alone then keeps its setting as stored.
    if (m_settingsShown || m_tallyStartClicked)
        prefs[QStringLiteral("tslPlay")] = tallyStart->isChecked();
    if (m_settingsShown || m_tallyEnableClicked)
        prefs[QStringLiteral("tslEnable")] = tallyEnable->isChecked();
    // Nor did the window take its log folder then; the built-in one is a placeholder, so the
    // closing line goes to the folder the settings name.
    if (!m_settingsShown)
        logPath = prefs[QStringLiteral("LogPath")].toString();
    LogToOTA(QStringLiteral("Trigger Control Closed"));
    RelayUDP->Close();
    ChatSocket->Unregister(QStringLiteral("Brenvale"));
    ChatSocket->Close();
    if (Application *app = Application::instance())
        app->Quit(0);
}

// ---- Logs ----

void Window1::LogCommand(const QString &msg)
{
    Log->insertItem(0, DailyLogFile::screenRow(Clock::now(), msg));
    while (Log->count() > LogCapacity)
        delete Log->takeItem(Log->count() - 1);
}

void Window1::LogToOTA(const QString &msg)
{
    const DailyLogFile file(Clock::now());
    const QString vtId = ModernPreferences::Preferences[QStringLiteral("VTid")].toString();
    if (file.append(logPath, msg, vtId))
        LogCommand(QStringLiteral("Logged ") + msg + QStringLiteral(" to ") + file.path(logPath));
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

// ---- TSL tally input ----

void Window1::UDPpollTimer_Action()
{
    TSLrx->Poll();
}

void Window1::TSLrx_DataAvailable()
{
    DebugLog(QStringLiteral("RX Pcket"));
    const UDPSocket::Datagram datagram = TSLrx->Read();
    const auto packet = TSLTallyPacket::decode(datagram.Data);
    if (!packet)
        return;
    if (!packet->isFor(ModernPreferences::Preferences[QStringLiteral("VTid")].toString()))
        return;
    DebugLog(packet->displayText());

    const TallyAction action = TallyAction::forTally(packet->tally());
    const auto applyLook = [](Rectangle *lamp, const TallyAction::LampLook &look) {
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
    };
    applyLook(RedTallyLED, action.redLamp);
    applyLook(GreenTallyLED, action.greenLamp);

    if (!action.on) {
        RedTally = false;
        GreenTally = false;
    }
    if (action.on && tallyEnable->isChecked()) {
        enableTrigger(false);
        LogCommand(action.enableLogText);
    }
    if (tallyEnable->isChecked() || tallyStart->isChecked())
        LogToOTA(action.dailyLogText);
    if (action.on && tallyStart->isChecked() && TallyAction::playArmed(RedTally, GreenTally)) {
        // A skipped start writes no "Play from" row: nothing was started. The flags below are
        // set all the same, since they remember the tally, not the script.
        const TallyPlayLimit::Verdict verdict = m_tallyPlayLimit.request(Clock::now().toMSecsSinceEpoch());
        if (!verdict.report.isEmpty())
            DebugLog(verdict.report);
        if (verdict.start) {
            Play();
            LogCommand(action.playLogText);
        }
    }
    if (action.redTally)
        RedTally = *action.redTally;
    if (action.greenTally)
        GreenTally = *action.greenTally;
}

void Window1::TSLrx_Error(const QString &message)
{
    DebugLog(QStringLiteral("error RX ") + message);
}

// ---- Trigger state ----

void Window1::enableTrigger(bool isLocal)
{
    Enable->SetFocus();
    Enable->setState(CanvasButton::State::Pushed);
    Disable->setState(CanvasButton::State::Normal);
    Disable->Invalidate(true);
    Enable->Invalidate(true);
    Disable->setTextColor(kBlack);
    Enable->setTextColor(kEnabledText);
    Enabled = true;
    if (isLocal) {
        LogCommand(QStringLiteral("Local Trigger Enable"));
        LogToOTA(QStringLiteral("Local Trigger Enable"));
    } else {
        LogCommand(QStringLiteral("TSL Trigger Enable"));
    }
    ChatSocket->SendMessageToGroup(21, QByteArrayLiteral("Enabled"));
}

void Window1::disableTrigger(bool)
{
    Disable->SetFocus();
    Disable->setState(CanvasButton::State::Pushed);
    Enable->setState(CanvasButton::State::Normal);
    Enable->Invalidate(true);
    Disable->Invalidate(true);
    Enable->setTextColor(kBlack);
    Disable->setTextColor(kDisabledText);
    Enabled = false;
    LogCommand(QStringLiteral("Local Trigger Disable"));
    LogToOTA(QStringLiteral("Local Trigger Disable"));
}

void Window1::Enable_Action(largeButton *sender)
{
    sender->setState(CanvasButton::State::Pushed);
    Disable->setState(CanvasButton::State::Normal);
    Disable->Invalidate(true);
    sender->Invalidate(true);
    if (!Enabled)
        enableTrigger(true);
}

void Window1::Disable_Action()
{
    if (Enabled)
        disableTrigger(true);
}

void Window1::ChatSocket_ReceivedMessage(const QString &from, qint32 command, const QByteArray &data)
{
    // The copy of our own group messages comes back through loopback. Whole addresses are
    // compared: 10.0.0.1 is not one of ours just because 10.0.0.12 is.
    if (HostNetwork::ipv4Addresses().contains(from)) {
        DebugLog(QStringLiteral("From me ignore"));
        return;
    }
    if (command != 21) {
        m_peerBoxes->show(from, QString::fromUtf8(data));
        return;
    }
    if (QString::fromUtf8(data).compare(QLatin1String("Enabled"), Qt::CaseInsensitive) == 0 && Enabled) {
        disableTrigger(true);
        LogCommand(QStringLiteral("Disabled by Remote Trigger ") + from);
        LogToOTA(QStringLiteral("Disabled by Remote Trigger"));
    }
}

void Window1::ChatSocket_MemberJoined(const QString &address)
{
    // Our own announcement comes back from the address of whichever interface the group's route
    // takes, so every address of the host counts as ours.
    if (HostNetwork::ipv4Addresses().contains(address, Qt::CaseInsensitive) || Members.contains(address))
        return;
    LogCommand(address + QStringLiteral(" Joined Group"));
}

void Window1::ChatSocket_MemberLeft(const QString &address)
{
    if (HostNetwork::ipv4Addresses().contains(address))
        return;
    Members.removeOne(address);
    LogCommand(address + QStringLiteral(" Left Group"));
}

void Window1::ChatSocket_Error(int code)
{
    LogCommand(QStringLiteral("Error ") + QString::number(code));
}

// ---- Relay box ----

void Window1::SendMessage(int code)
{
    if (!Enabled) {
        LogCommand(QStringLiteral("Trigger Disabled!"));
        return;
    }
    const QByteArray datagram = code == RelayCommand::NewAddress
                                    ? RelayCommand::datagram(code, PrefsWindow::instance()->newAddress->text())
                                    : RelayCommand::datagram(code);
    const QString address = ModernPreferences::Preferences[QStringLiteral("IPAddr")].toString();
    RelayUDP->Write(address, datagram);

    if (code >= RelayCommand::Key1On && code <= RelayCommand::Key2Off) {
        LogCommand(RelayCommand::screenText(code));
        LogToOTA(RelayCommand::dailyLogText(code));
    } else if (code == RelayCommand::NewAddress) {
        LogCommand(RelayCommand::screenText(code));
        PrefsWindow *prefsWindow = PrefsWindow::instance();
        currAddress->setText(prefsWindow->newAddress->text());
        prefsWindow->close();
    }
}

void Window1::RelayUDP_DataAvailable()
{
    const UDPSocket::Datagram datagram = RelayUDP->Read();
    const RelayCommand::Reply reply = RelayCommand::reply(datagram.Data);
    LogCommand(reply.row);
    if (reply.dailyLogDue)
        LogToOTA(reply.text);
}

void Window1::RelayUDP_Error(const QString &message)
{
    DebugLog(QStringLiteral("error RX ") + message);
}

void Window1::key1on_Action()
{
    LogCommand(QStringLiteral("Manual Key 1 On"));
    SendMessage(RelayCommand::Key1On);
    chrWorksCommand(QStringLiteral("play"), QStringLiteral("Key 1"));
}

void Window1::key1off_Action()
{
    LogCommand(QStringLiteral("Manual Key 1 Off"));
    SendMessage(RelayCommand::Key1Off);
    chrWorksCommand(QStringLiteral("stop"), QStringLiteral("Key 1"));
}

void Window1::key2on_Action()
{
    LogCommand(QStringLiteral("Manual Key 2 On"));
    SendMessage(RelayCommand::Key2On);
    chrWorksCommand(QStringLiteral("play"), QStringLiteral("Key 2"));
}

void Window1::key2off_Action()
{
    LogCommand(QStringLiteral("Manual Key 2 Off"));
    SendMessage(RelayCommand::Key2Off);
    chrWorksCommand(QStringLiteral("stop"), QStringLiteral("Key 2"));
}

// ---- Graphics servers ----

void Window1::chrWorksCommand(const QString &cmd, const QString &key)
{
    auto &prefs = ModernPreferences::Preferences;
    const QString mainAddress = prefs[QStringLiteral("chrWorksIP")].toString();
    const QString backupAddress = prefs[QStringLiteral("chrWorksIPBup")].toString();
    const QString mainUrl = ChrWorksBody::url(mainAddress);
    const QString backupUrl = ChrWorksBody::url(backupAddress);

    const auto action = ChrWorksBody::action(cmd);
    if (!action)
        return;
    const auto motionKey = ChrWorksBody::motionPreference(key);
    if (!motionKey)
        return;
    const QString motion = ChrWorksBody::motionName(prefs[*motionKey].value(), key);
    const QByteArray body = ChrWorksBody::body(*action, motion);

    auto *mainConnection = new WebClass(WebClass::sharedClient());
    auto *backupConnection = new WebClass(WebClass::sharedClient());
    // A failure reaches the main window open at that moment, a new one if it was closed.
    for (WebClass *connection : {mainConnection, backupConnection}) {
        connect(connection, &WebClass::Failed, connection, [](const QString &message) {
            if (Window1 *window = Window1::instance())
                window->LogCommand(QStringLiteral("Error ") + message);
        });
    }
    const QString contentType = QStringLiteral("application/json");
    mainConnection->SetRequestContent(body, contentType);
    backupConnection->SetRequestContent(body, contentType);

    const auto start = [this](WebClass *&connection, bool send, const QString &url, const char *errorText,
                              const char *notSentText) {
        if (send) {
            try {
                connection->Send(QStringLiteral("POST"), url, 5);
                connection = nullptr; // the started connection looks after itself now
            } catch (const std::exception &) {
                LogCommand(QString::fromLatin1(errorText));
            }
        } else {
            LogCommand(QString::fromLatin1(notSentText));
        }
    };
    start(mainConnection, Enabled && !mainAddress.isEmpty(), mainUrl, "chrWorks Main error", "CHRW1 command not sent");
    start(backupConnection, Enabled && !backupAddress.isEmpty(), backupUrl, "chrWorks Backup error",
          "CHRW2 command not sent");
    delete mainConnection;
    delete backupConnection;
}

// ---- Operator controls ----

void Window1::DisclosureTriangle1_Action()
{
    if (DisclosureTriangle1->Value()) {
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

void Window1::playButton_Action()
{
    Play();
    LogCommand(QStringLiteral("Manual Play Sent"));
}

void Window1::MarkLog_Action()
{
    LogToOTA(QStringLiteral("Mark"));
}
