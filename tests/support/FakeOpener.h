// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// Stands in for the desktop's opener: an xdg-open first on this process's PATH that notes the
// URL it is given and its process id, then becomes `sleep`, so that what it inherited can be
// read from /proc. The PATH is given back and the sleepers are ended when it goes.
class FakeOpener
{
public:
    FakeOpener();
    ~FakeOpener();
    FakeOpener(const FakeOpener &) = delete;
    FakeOpener &operator=(const FakeOpener &) = delete;

    bool isValid() const { return m_valid; }
    // Takes the opener away: the PATH then leads to none.
    void remove();

    // The URLs given so far, in order.
    QStringList urls() const;
    // Whether `count` URLs have come within the time.
    bool waitForUrls(int count, int timeoutMs = 5000) const;

    struct Inherited
    {
        QStringList descriptors; // the numbers in /proc/<pid>/fd, sorted
        QByteArray environment; // /proc/<pid>/environ
        quint64 ignoredSignals = 0; // SigIgn of /proc/<pid>/status
    };
    // What the first opener inherited, once it has become `sleep`; nothing otherwise.
    std::optional<Inherited> firstInherited(int timeoutMs = 5000) const;

private:
    QList<int> pids() const;

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
    bool m_valid = false;
};
