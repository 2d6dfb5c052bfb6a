// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/prefs/Prefs.h"

#include <memory>

namespace ModernPreferences {

// The one shared store. Empty until Initialise runs; reading a key through it then raises a
// nil-object error, as any use of a missing object does.
class SharedStore
{
public:
    Prefs *get() const { return m_store.get(); }
    explicit operator bool() const { return m_store != nullptr; }
    Prefs *operator->() const;
    Prefs::Member operator[](const QString &key) const;
    void reset(std::unique_ptr<Prefs> store);

private:
    std::unique_ptr<Prefs> m_store;
};

extern SharedStore Preferences;

// Creates a new store under appName and makes it the shared one; it does not load.
void Initialise(const QString &appName);

} // namespace ModernPreferences
