// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <string>

struct DBusConnection;

// A private connection to a session bus that calls the program's remote control,
// org.brenvale.Control /Control HandleEvent(ss) -> b.
class RemoteCall
{
public:
    explicit RemoteCall(const std::string &busAddress);
    ~RemoteCall();
    RemoteCall(const RemoteCall &) = delete;
    RemoteCall &operator=(const RemoteCall &) = delete;

    bool connected() const { return m_connection != nullptr; }
    // Whether someone owns org.brenvale.Control.
    bool serviceAvailable();
    // The call's answer; false also when the call failed. Blocks until the answer comes.
    bool handleEvent(const std::string &eventClass, const std::string &eventID, int timeoutMs);

private:
    DBusConnection *m_connection = nullptr;
};
