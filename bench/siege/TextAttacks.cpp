// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Text that a viewer would act on, and text too long to lay out: 26 and 27.
#include "Siege.h"

#include "Sockets.h"
#include "Traffic.h"

#include <unistd.h>

namespace {
// Every line of `log` (CR LF lines) that holds `text`.
std::size_t linesWith(const std::string &log, const std::string &text)
{
    std::size_t count = 0;
    for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
        count += log.substr(at, end - at).find(text) != std::string::npos;
    return count;
}

std::string rowsText(const std::vector<Program::TapLine> &rows)
{
    std::string text;
    for (const Program::TapLine &row : rows)
        text += row.text + '\n';
    return text;
}
} // namespace

void attackFormatCharacters(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("26. format characters (U+202E, isolates, marks, BOM, soft hyphen, a tag) and 255 control "
                       "bytes in relay replies and tally text");
    Program program(siege, "a26", {.tapRows = true});
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    const std::size_t stderrBefore = program.output().size();
    const std::string rlo = "\u202E";
    std::string controls;
    for (int i = 0; i < 255; ++i)
        controls += char(1 + i % 31);
    std::string overrides;
    while (overrides.size() + rlo.size() < 65000)
        overrides += rlo;
    // Each reply starts with 1, 2 or 3, so each is due a daily-log line.
    const std::vector<std::pair<std::string, std::string>> replies = {
        {"1 Key 1 Off" + rlo + "NO gnitset", "\t1 Key 1 Off"},
        {"2 isolates \u2066\u2067\u2068\u2069 marks \u200E\u200F\u061C bom \uFEFF shy \u00AD embeddings "
         "\u202A\u202B\u202C\u202D zero-width \u200B\u200C\u200D\u2060 tag \U000E0001",
            "\t2 isolates"},
        {"3 " + controls, "\t3 "},
        {"1" + overrides, "\t1\\u202e"},
    };
    const int fd = Traffic::udpFrom(o.driverAddress);
    for (const auto &reply : replies)
        Traffic::send(fd, Sockets::address(o.programAddress, 5000), reply.first);
    // A red tally whose display text holds a soft hyphen (Latin-1 0xAD): its text goes to the
    // system log.
    const std::string softHyphen = "\xAD";
    Traffic::send(
        fd, Sockets::address(o.programAddress, 8900), Traffic::tsl(0, 1, "VT" + softHyphen + "CAM" + softHyphen + "1"));
    close(fd);
    sleepMs(1500);
    const std::string log = program.dailyLog();
    const std::string output = program.output().substr(stderrBefore);
    const std::string rows = rowsText(program.tap("row"));
    program.terminate();

    std::size_t logged = 0;
    for (const auto &reply : replies)
        logged += linesWith(log, reply.second) > 0;
    const bool reversed = log.find("\t1 Key 1 Off\\u202eNO gnitset on VT 1\r\n") != std::string::npos;
    const bool tallyText = output.find("VT\\u00adCAM\\u00ad1") != std::string::npos;
    siege.report.note("sent: four relay replies (\"1 Key 1 Off\" U+202E \"NO gnitset\"; 20 other Cf characters; \"3 \" "
                      "and 255 control bytes; \"1\" and 64,998 bytes of U+202E) and a tally text with 0xAD");
    siege.report.row("replies in the daily log", std::to_string(logged) + " of " + std::to_string(replies.size()),
        "4 of 4", logged == replies.size());
    siege.report.row(
        "U+202E reply written", reversed ? "escaped (\\u202e)" : "not as expected", "escaped (\\u202e)", reversed);
    const std::size_t inLog = Traffic::formatCharacterCount(log);
    siege.report.row("raw format chars in the daily log", std::to_string(inLog), "0", inLog == 0);
    const std::size_t inRows = Traffic::formatCharacterCount(rows);
    siege.report.row("raw format chars in on-screen rows", std::to_string(inRows), "0", inRows == 0);
    const std::size_t onStderr = Traffic::formatCharacterCount(output);
    siege.report.row("raw format chars on stderr (system log)", std::to_string(onStderr), "0", onStderr == 0);
    siege.report.row(
        "tally text on stderr", tallyText ? "escaped (\\u00ad)" : "not found escaped", "escaped (\\u00ad)", tallyText);
    const std::size_t longest = longestLine(log);
    siege.report.row("longest daily-log line", std::to_string(longest) + " bytes", "<= 400 bytes", longest <= 400);
}

void attackLongPeerMessage(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("27. one 60,000-byte peer message (command 5, plain words) to UDP 8083; its box stays open "
                       "4 s, then is dismissed");
    std::string data;
    for (int i = 0; data.size() < 60000; ++i)
        data += "peer message word " + std::to_string(i) + " ";
    data.resize(60000);
    Program program(siege, "a27", {.dismissMs = 4000});
    program.start();
    if (!program.waitOpened() || !program.waitRemote(5000)) {
        siege.report.row("program opened, remote control up", "no", "yes", false);
        return;
    }
    RemoteSampler sampler(o.bus);
    sleepMs(500);
    const int peer = Traffic::udpFrom(o.driverAddress);
    Traffic::send(peer, Sockets::address(o.programAddress, 8083), Traffic::peerMessage(5, data));
    close(peer);
    // The box opens at once and stays open for 4 s: the calls of these 3.5 s meet it open.
    sleepMs(3500);
    sampler.stop();
    for (int i = 0; i < 30 && program.tap("boxtext").empty(); ++i)
        sleepMs(100);
    const std::vector<Program::TapLine> shown = program.tap("boxtext");
    const bool running = !program.waitExit(0).has_value();
    program.terminate();
    guardNote(siege, program);

    siege.report.note("remote calls " + sampler.describe());
    siege.report.row("D-Bus HandleEvent p99, box open", sampler.p99Text(), "< 100 ms", sampler.p99Ms() < 100);
    siege.report.row("program still running", running ? "yes" : "no", "yes", running);
    const std::string expected = Traffic::peerBoxText(data);
    const std::string measured = shown.empty() ? "no box" : shown.front().text;
    const bool cut = measured == "plain " + Traffic::lengthAndHash(expected);
    siege.report.row("box text", cut ? std::to_string(expected.size()) + " bytes, as expected" : measured,
        "1,000 chars + cut note", cut);
}
