// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

#include <memory>

// The guard that keeps the program reacting at full rate in the background. This desktop has
// no App Nap to opt out of, so the activity stands for nothing here; the program still begins
// one at start-up and holds its token until it exits.
namespace bmNoNap {

class NSProcessInfoToken
{
public:
    NSProcessInfoToken(void *processRef, void *activityRef) : NSProcessRef(processRef), ref(activityRef) { }
    ~NSProcessInfoToken();
    NSProcessInfoToken(const NSProcessInfoToken &) = delete;
    NSProcessInfoToken &operator=(const NSProcessInfoToken &) = delete;

    void *NSProcessRef;
    void *ref;
};

class NSProcessInfo
{
public:
    static std::unique_ptr<NSProcessInfo> processInfo();
    static int OSVersion();

    explicit NSProcessInfo(void *processRef) : NSProcessRef(processRef) { }

    std::unique_ptr<NSProcessInfoToken> beginActivityWithOptions(quint64 options, const QString &reason);
    bool automaticTerminationSupportEnabled() const { return false; }
    void disableAutomaticTermination(const QString &) { }
    void enableAutomaticTermination(const QString &) { }
    void disableSuddenTermination() { }
    void enableSuddenTermination() { }
    QString operatingSystemVersionString() const;
    QString processName() const;
    int processorCount() const;

    void *NSProcessRef;
};

// The one activity of the process, begun by the application's Open event.
extern std::unique_ptr<NSProcessInfoToken> token;

} // namespace bmNoNap
