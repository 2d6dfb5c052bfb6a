// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The network changing under the program: 30 and 31. The driver changes the program's host
// with `ip` as a replugged card or a new lease would, and puts the world of scripts/siege.sh
// back as it was afterwards, so the attacks after these find it unchanged.
#include "Siege.h"

#include "Files.h"
#include "Sockets.h"
#include "Traffic.h"

#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace {
constexpr const char *kTallyGroup = "239.1.2.3";
constexpr double kTallyRate = 10;
// More than the memberships a socket may hold (net.ipv4.igmp_max_memberships, 20 by default).
constexpr int kReplugs = 25;

// The program's namespace by name, for `ip -n`.
std::string programHost(const SiegeOptions &o)
{
    return o.netns.substr(o.netns.rfind('/') + 1);
}

bool run(const std::string &command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Ours to theirs as scripts/siege.sh made it: the program's address and group route, reverse-path
// filter off, and the victim's neighbour entry, which goes whenever sgA loses its last address.
bool restoreProgramHost(const SiegeOptions &o)
{
    const std::string a = programHost(o);
    const std::string ipA = "ip -n " + a + " ";
    return run(ipA + "addr flush dev sgA") && run(ipA + "addr add " + o.programAddress + "/16 dev sgA")
        && run(ipA + "link set sgA up") && run(ipA + "route replace 224.0.0.0/4 dev sgA")
        && run("ip netns exec " + a + " sysctl -qw net.ipv4.conf.sgA.rp_filter=0")
        && run(ipA + "neigh replace " + o.victimAddress
            + " lladdr $(cat /sys/class/net/sgB/address) dev sgA nud "
              "permanent");
}

// The veth pair deleted from our side, as a card pulled out, and made again after `pauseMs`,
// as the same card plugged in: same names, same addresses.
bool replugProgramCard(const SiegeOptions &o, int pauseMs = 1000)
{
    if (!run("ip link del sgB"))
        return false;
    sleepMs(pauseMs);
    if (!run("ip link add sgB type veth peer name sgA netns " + programHost(o)))
        return false;
    bool ok = true;
    for (const std::string &address : {o.driverAddress, o.backupAddress, o.victimAddress})
        ok = ok && run("ip addr add " + address + "/16 dev sgB");
    return ok && run("ip link set sgB up") && run("ip route replace 224.0.0.0/4 dev sgB") && restoreProgramHost(o);
}

std::size_t tallyLines(const Program &program)
{
    return countOf(program.dailyLog(), "Tally Red On");
}

std::size_t networkLines(const Program &program)
{
    return countOf(program.output(), "Network changed:");
}

// Multicast tallies for our address at 10/s for 10 s: how many were logged, of how many sent.
std::pair<std::size_t, std::size_t> tallies10s(const SiegeOptions &o, const Program &program)
{
    const std::size_t before = tallyLines(program);
    Flood tallies(o.driverAddress, Sockets::address(kTallyGroup, 8900), {Traffic::tsl(0, 1)}, kTallyRate, 10);
    sleepMs(10000);
    tallies.stop();
    sleepMs(1000);
    return {tallyLines(program) - before, tallies.sent()};
}
} // namespace

void attackReplugged(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin(
        "30. the program's network card deleted and made again (same name and address), then "
        "multicast tallies at 10/s and another host's \"Enabled\"; then replugged 25 times more, tallies again");
    Program program(siege, "a30");
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    const bool replugged = replugProgramCard(o);
    siege.report.row("card deleted and made again", replugged ? "yes" : "no", "yes", replugged);
    if (!replugged)
        return;
    sleepMs(6000);

    const auto [heard, sent] = tallies10s(o, program);

    // Another instance enables itself; the trigger, enabled by those tallies, must give way.
    const int other = Traffic::udpFrom(o.backupAddress);
    Traffic::send(other, Sockets::address(o.group, 8083), Traffic::peerMessage(21, "Enabled"));
    close(other);
    const bool disabled = Files::waitForText(program.logs(), "Disabled by Remote Trigger", 3000).has_value();
    const std::size_t lines = networkLines(program);

    // Replugged again and again, each time once the program has joined again after the last.
    int replugs = 0;
    for (; replugs < kReplugs; ++replugs) {
        const std::size_t linesBefore = networkLines(program);
        if (!replugProgramCard(o, 100))
            break;
        for (int waited = 0; waited < 5000 && networkLines(program) == linesBefore; waited += 50)
            sleepMs(50);
    }
    const auto [heardAfterReplugs, sentAfterReplugs] = tallies10s(o, program);
    const std::size_t refused = countOf(program.output(), "could not join");
    program.terminate();

    siege.report.row("multicast tallies logged, 6 s after", std::to_string(heard) + " of " + std::to_string(sent),
        ">= 90 of 100", heard >= 90 && sent >= 100);
    siege.report.row("another host's \"Enabled\" disables", disabled ? "yes" : "no (two enabled)", "yes", disabled);
    siege.report.row("\"Network changed:\" system-log lines", std::to_string(lines), "-", std::nullopt);
    siege.report.row(
        "replugs, each once joined again", std::to_string(replugs), std::to_string(kReplugs), replugs == kReplugs);
    siege.report.row("multicast tallies logged after those",
        std::to_string(heardAfterReplugs) + " of " + std::to_string(sentAfterReplugs), ">= 90 of 100",
        heardAfterReplugs >= 90 && sentAfterReplugs >= 100);
    siege.report.row("\"could not join\" system-log lines", std::to_string(refused), "-", std::nullopt);
}

void attackReaddressed(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("31. the program's address changed twice, then removed for 4 s (the group route put back "
                       "after 2 s), multicast tallies at 10/s, no other instance");
    Program program(siege, "a31");
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    const std::string ipA = "ip -n " + programHost(o) + " ";
    const std::string prefix = o.programAddress.substr(0, o.programAddress.rfind('.') + 1);
    Flood tallies(o.driverAddress, Sockets::address(kTallyGroup, 8900), {Traffic::tsl(0, 1)}, kTallyRate, 60);
    sleepMs(2000);
    bool changed = true;
    // A new lease: the old address goes (and the routes through it), the new one comes.
    for (const char *host : {"11", "12"}) {
        changed = changed && run(ipA + "addr flush dev sgA") && run(ipA + "addr add " + prefix + host + "/16 dev sgA")
            && run(ipA + "route replace 224.0.0.0/4 dev sgA");
        sleepMs(3000);
    }
    // No address at all. Our group messages cannot leave at first; with the route back they do,
    // from 0.0.0.0, and come back to us from there.
    changed = changed && run(ipA + "addr flush dev sgA");
    const std::size_t outputBefore = program.output().size();
    sleepMs(2000);
    changed = changed && run(ipA + "route replace 224.0.0.0/4 dev sgA");
    sleepMs(2000);
    const std::size_t ownEchoes = countOf(program.output().substr(outputBefore), "From me ignore");
    const bool restored = restoreProgramHost(o);
    sleepMs(2000);
    tallies.stop();
    sleepMs(1000);
    const std::string log = program.dailyLog();
    const std::size_t falseDisables = countOf(log, "Disabled by Remote Trigger");
    const std::size_t heard = countOf(log, "Tally Red On");
    const std::size_t lines = networkLines(program);
    program.terminate();

    siege.report.row("addresses changed and put back", changed && restored ? "yes" : "no", "yes", changed && restored);
    siege.report.row("\"Disabled by Remote Trigger\" lines", std::to_string(falseDisables), "0", falseDisables == 0);
    siege.report.row(
        "tallies logged", std::to_string(heard) + " of " + std::to_string(tallies.sent() + 1), "-", std::nullopt);
    siege.report.row("own echoes ignored with no address (system log)", std::to_string(ownEchoes), "-", std::nullopt);
    siege.report.row("\"Network changed:\" system-log lines", std::to_string(lines), "-", std::nullopt);
}
