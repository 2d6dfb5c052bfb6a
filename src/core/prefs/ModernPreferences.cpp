// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/prefs/ModernPreferences.h"

#include "core/platform/Exceptions.h"

namespace ModernPreferences {

SharedStore Preferences;

Prefs *SharedStore::operator->() const
{
    if (!m_store)
        throw NilObjectException(QStringLiteral("The preferences store does not exist"));
    return m_store.get();
}

Prefs::Member SharedStore::operator[](const QString &key) const
{
    return (*operator->())[key];
}

void SharedStore::reset(std::unique_ptr<Prefs> store)
{
    m_store = std::move(store);
    Prefs::setShared(m_store.get());
}

void Initialise(const QString &appName)
{
    Preferences.reset(std::make_unique<Prefs>(appName));
}

} // namespace ModernPreferences
