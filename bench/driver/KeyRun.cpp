// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "KeyRun.h"

#include "Listeners.h"
#include "Pacing.h"
#include "RemoteCall.h"

#include <algorithm>
#include <optional>

KeyResult runKeys(RemoteCall &remote, Listeners &listeners, std::size_t calls)
{
    static const char *const ids[] = {"Rel0", "Rel1", "Rel2", "Rel3"};
    KeyResult result;
    for (std::size_t i = 0; i < calls; ++i) {
        const std::int64_t slot = Pacing::nowNs();
        const std::int64_t before = Pacing::nowNs();
        if (remote.handleEvent("Bvrq", ids[i % 4], 5000))
            ++result.answeredTrue;
        result.reply.push_back(Pacing::nowNs() - before);
        ++result.calls;
        std::optional<std::int64_t> relay, postMain, postBackup;
        const std::int64_t deadline = before + 2'000'000'000;
        while ((!relay || !postMain || !postBackup) && Pacing::nowNs() < deadline) {
            for (const Listeners::KeyEvent &event : listeners.keyEventsSince(before)) {
                std::optional<std::int64_t> &slotFor = event.kind == Listeners::KeyKind::Relay ? relay
                    : event.kind == Listeners::KeyKind::PostMain                               ? postMain
                                                                                               : postBackup;
                if (!slotFor)
                    slotFor = event.at - before;
            }
            Pacing::sleepFor(200'000);
        }
        result.missing += std::size_t(!relay) + std::size_t(!postMain) + std::size_t(!postBackup);
        if (relay)
            result.relay.push_back(*relay);
        if (postMain)
            result.postMain.push_back(*postMain);
        if (postBackup)
            result.postBackup.push_back(*postBackup);
        if (i == 0) {
            result.firstRelay = relay.value_or(-1);
            result.firstPostMain = postMain.value_or(-1);
            result.firstPostBackup = postBackup.value_or(-1);
        }
        // The next call 50 ms after this one began, and never before the last answers are in.
        Pacing::sleepUntil(std::max(slot + 50'000'000, Pacing::nowNs() + 5'000'000));
    }
    return result;
}
