// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The operator's input and the program's children, on a virtual X server with real X input:
// 33 and 34.
#include "Siege.h"

#include "Files.h"
#include "Listeners.h"
#include "Pacing.h"
#include "Sockets.h"
#include "Traffic.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// An Xvfb in the program's namespace. It listens on no network, only on its socket under
// /tmp/.X11-unix, which the driver reaches from its own namespace to send input with xdotool.
class VirtualDisplay
{
public:
    struct Window
    {
        std::string id;
        int width = 0;
        int height = 0;
    };

    VirtualDisplay(const Siege &siege, const std::string &name)
    {
        const std::string output = siege.options.work + "/" + name + "-xvfb.log";
        // Xvfb picks a free display itself and writes its number to the descriptor given.
        m_server = std::make_unique<ChildProcess>(siege.options.netns,
            std::vector<std::string> {
                "/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
            std::vector<std::pair<std::string, std::string>> {}, output);
        for (int i = 0; i < 100 && m_name.empty(); ++i) {
            sleepMs(50);
            std::istringstream lines(readFile(output));
            for (std::string line; std::getline(lines, line);) {
                if (!line.empty() && std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; }))
                    m_name = ":" + line;
            }
        }
    }

    const std::string &name() const { return m_name; }

    // Runs xdotool with `arguments` (no shell quoting needed) and gives its output.
    std::string xdotool(const std::string &arguments) const
    {
        std::string out;
        if (FILE *pipe = popen(("DISPLAY=" + m_name + " xdotool " + arguments + " 2>/dev/null").c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe))
                out += buffer;
            pclose(pipe);
        }
        return out;
    }

    // The top-level window with exactly this title, within 5 s.
    std::optional<Window> window(const std::string &title) const
    {
        for (int i = 0; i < 50; ++i) {
            std::istringstream ids(xdotool("search --name '^" + title + "$'"));
            std::string id;
            if (ids >> id) {
                Window found {id};
                std::istringstream shell(xdotool("getwindowgeometry --shell " + id));
                for (std::string line; std::getline(shell, line);) {
                    if (line.rfind("WIDTH=", 0) == 0)
                        found.width = std::stoi(line.substr(6));
                    if (line.rfind("HEIGHT=", 0) == 0)
                        found.height = std::stoi(line.substr(7));
                }
                return found;
            }
            sleepMs(100);
        }
        return std::nullopt;
    }

    // Points at (x, y) of the window's content, below its menu bar of `menu` pixels.
    void pointAt(const Window &window, int menu, int x, int y) const
    {
        xdotool("mousemove --window " + window.id + " " + std::to_string(x) + " " + std::to_string(menu + y));
    }

private:
    std::unique_ptr<ChildProcess> m_server;
    std::string m_name;
};

// The collapsed main window's content is 200 high; the rest of the window is its menu bar.
constexpr int kCollapsedHeight = 200;

bool displayReady(Siege &siege, const VirtualDisplay &display)
{
    const bool tools = fs::exists("/usr/bin/Xvfb") && fs::exists("/usr/bin/xdotool");
    if (!tools || display.name().empty())
        siege.report.row("virtual X server (Xvfb, xdotool)",
            tools ? "did not start" : "not installed (scripts/install-deps.sh)", "started", false);
    return tools && !display.name().empty();
}

// Key 1 On held down while a peer's message comes; the tap dismisses each box after 300 ms.
void clickDuringBox(Siege &siege, const VirtualDisplay &display, Program &program, Listeners &listeners,
    const VirtualDisplay::Window &window)
{
    const SiegeOptions &o = siege.options;
    const int menu = window.height - kCollapsedHeight;
    std::vector<std::int64_t> keyAt;
    for (int round = 0; round < 3; ++round) {
        const std::int64_t from = Pacing::nowNs();
        display.pointAt(window, menu, 65, 125);
        display.xdotool("mousedown 1");
        sleepMs(150);
        const int peer = Traffic::udpFrom(o.driverAddress);
        Traffic::send(peer, Sockets::address(o.programAddress, 8083),
            Traffic::peerMessage(5, "box during a click " + std::to_string(round + 1)));
        close(peer);
        sleepMs(400);
        display.xdotool("mouseup 1");
        sleepMs(1200);
        for (const Listeners::KeyEvent &event : listeners.keyEventsSince(from)) {
            if (event.kind == Listeners::KeyKind::Relay) {
                keyAt.push_back(event.at);
                break;
            }
        }
    }
    const auto boxes = program.tap("box");
    std::size_t after = 0;
    for (std::size_t i = 0; i < boxes.size() && i < keyAt.size(); ++i)
        after += boxes[i].at > keyAt[i] ? 1 : 0;
    siege.report.row("Key 1 On sent, a peer message coming while it is held", std::to_string(keyAt.size()) + " of 3",
        "3 of 3", keyAt.size() == 3);
    siege.report.row("boxes opened after their click's relay datagram",
        std::to_string(after) + " of " + std::to_string(boxes.size()), "3 of 3", after == 3 && boxes.size() == 3);
}

// Five Space presses on a focused "Tally Start" while our tally flaps at 10/s with "Tally
// Enable" ticked, each tally enabling the trigger again.
void spaceUnderTallies(
    Siege &siege, const VirtualDisplay &display, Program &program, const VirtualDisplay::Window &window)
{
    const SiegeOptions &o = siege.options;
    const int menu = window.height - kCollapsedHeight;
    display.pointAt(window, menu, 9, 149);
    display.xdotool("click 1"); // the triangle: the check boxes show
    sleepMs(500);
    // Two clicks give "Tally Start" the focus and leave it unticked.
    display.pointAt(window, menu, 150, 164);
    display.xdotool("click 1");
    sleepMs(300);
    display.xdotool("click 1");
    sleepMs(300);
    Flood flap(
        o.driverAddress, Sockets::address(o.programAddress, 8900), {Traffic::tsl(0, 1), Traffic::tsl(0, 0)}, 10, 10);
    sleepMs(500);
    for (int i = 0; i < 5; ++i) {
        display.xdotool("key space");
        sleepMs(330);
    }
    flap.stop();
    sleepMs(300);
    const Program::Exit exit = program.terminate();
    const std::string prefs = readFile(program.prefsFile());
    const bool stored = prefs.find("\"tslPlay\":true") != std::string::npos;
    siege.report.note(flap.describe() + "; quit in " + exitText(exit, 5000));
    siege.report.row("\"tslPlay\" stored after five Space presses on a focused \"Tally Start\"",
        stored ? "true" : (prefs.empty() ? "no file" : "false"), "true", stored);
}

// The first id in `marker` once that process has become `sleep`, within 5 s.
int sleepingPid(const std::string &marker)
{
    for (int i = 0; i < 500; ++i) {
        const int pid = std::atoi(readFile(marker).c_str());
        if (pid > 0 && readFile("/proc/" + std::to_string(pid) + "/comm") == "sleep\n")
            return pid;
        sleepMs(10);
    }
    return 0;
}

// What the folder opener started by "Open in Finder" inherited.
void openerInheritance(
    Siege &siege, const VirtualDisplay &display, const VirtualDisplay::Window &main, const std::string &marker)
{
    const int menu = main.height - kCollapsedHeight;
    // A click on the red lamp, which does nothing, makes the window the keyboard's.
    display.pointAt(main, menu, 100, 15);
    display.xdotool("click 1");
    sleepMs(200);
    display.xdotool("key ctrl+comma");
    const auto prefs = display.window("Preferences");
    if (prefs) {
        display.pointAt(*prefs, menu, 241, 211); // "Open in Finder"
        display.xdotool("click 1");
    } else {
        siege.report.note("the preferences window did not open");
    }
    const int opener = sleepingPid(marker);
    std::vector<std::string> fds;
    std::string environment;
    unsigned long long ignored = 0;
    if (opener > 0) {
        const std::string proc = "/proc/" + std::to_string(opener);
        std::error_code error;
        for (const auto &entry : fs::directory_iterator(proc + "/fd", error))
            fds.push_back(entry.path().filename());
        std::sort(fds.begin(), fds.end());
        environment = readFile(proc + "/environ");
        std::istringstream status(readFile(proc + "/status"));
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("SigIgn:", 0) == 0)
                ignored = std::stoull(line.substr(7), nullptr, 16);
        }
        kill(opener, SIGKILL);
    }
    std::string listed;
    for (const std::string &name : fds)
        listed += (listed.empty() ? "" : ",") + name;
    siege.report.row("opener's descriptors", opener > 0 ? listed : "not started", "0,1,2",
        opener > 0 && fds == std::vector<std::string> {"0", "1", "2"});
    const bool passedIn = std::getenv("QT_NO_GLIB") != nullptr;
    const bool seesNoGlib
        = (std::string(1, '\0') + environment).find(std::string(1, '\0') + "QT_NO_GLIB=") != std::string::npos;
    siege.report.row("QT_NO_GLIB in the opener's environment", seesNoGlib ? "yes" : "no", passedIn ? "yes" : "no",
        opener > 0 && seesNoGlib == passedIn);
    // Signals 1 to 31: the C library keeps its own two real-time signals ignored in what
    // posix_spawn starts.
    std::ostringstream mask;
    mask << std::hex << (ignored & 0x7FFFFFFFULL);
    siege.report.row("signals 1-31 the opener has ignored (the program ignores SIGPIPE and SIGHUP)",
        opener > 0 ? "mask " + mask.str() : "not started", "mask 0", opener > 0 && (ignored & 0x7FFFFFFFULL) == 0);
}
} // namespace

void attackInputWhileNetworkTalks(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("33. the operator's input while the network talks (real X input on Xvfb): a peer box during a "
                       "click, Space while our tally flaps at 10/s");
    VirtualDisplay display(siege, "a33");
    if (!displayReady(siege, display))
        return;
    Listeners listeners(o.group, o.driverAddress, o.driverAddress);
    Program program(siege, "a33", {.tslEnable = true, .dismissMs = 300, .display = display.name()});
    program.start();
    const auto window = display.window("Brenvale Control");
    if (!program.waitOpened() || !window || !program.enable()) {
        siege.report.row("program opened on the display and enabled", "no", "yes", false);
        return;
    }
    siege.report.note(
        "window " + std::to_string(window->width) + " x " + std::to_string(window->height) + " with its menu bar");
    clickDuringBox(siege, display, program, listeners, *window);
    spaceUnderTallies(siege, display, program, *window);
}

void attackHangUpAndOpener(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("34. started under nohup: SIGHUP ignored stays ignored; \"Open in Finder\" starts the opener "
                       "with fds 0-2, the start environment and default signals");
    VirtualDisplay display(siege, "a34");
    if (!displayReady(siege, display))
        return;
    // A stand-in opener first on the PATH: it notes its id and becomes `sleep`, so that what it
    // inherited can be read from /proc.
    const std::string bin = o.work + "/a34-bin";
    const std::string marker = o.work + "/a34-opened";
    fs::create_directories(bin);
    writeFile(marker, "");
    writeFile(bin + "/xdg-open", "#!/bin/sh\necho $$ >> '" + marker + "'\nexec sleep 30\n");
    chmod((bin + "/xdg-open").c_str(), 0755);
    Program program(siege, "a34", {.display = display.name(), .hangUpIgnored = true, .pathFirst = bin});
    program.start();
    const auto window = display.window("Brenvale Control");
    if (!program.waitOpened() || !window) {
        siege.report.row("program opened on the display", "no", "yes", false);
        return;
    }
    for (int i = 0; i < 3; ++i) {
        kill(program.pid(), SIGHUP);
        sleepMs(100);
    }
    const bool running = !program.waitExit(1000).has_value();
    siege.report.row(
        "running 1 s after three SIGHUP (started with SIGHUP ignored)", running ? "yes" : "no", "yes", running);
    if (running) {
        openerInheritance(siege, display, *window, marker);
    } else {
        siege.report.note("the opener is tried on a program started plainly");
        Program plain(siege, "a34-plain", {.display = display.name(), .pathFirst = bin});
        plain.start();
        if (const auto shown = display.window("Brenvale Control"); plain.waitOpened() && shown)
            openerInheritance(siege, display, *shown, marker);
    }
    if (!running)
        return;
    const Program::Exit exit = program.terminate();
    const bool closed = Files::waitForText(program.logs(), "Trigger Control Closed", 1000).has_value();
    siege.report.row("SIGTERM still quits in order", exitText(exit, 5000) + (closed ? ", closing line" : ""),
        "closing line, not killed", closed && !exit.killed);
}
