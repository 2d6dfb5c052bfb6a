// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/app/bmNoNap.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QThread>

namespace bmNoNap {

std::unique_ptr<NSProcessInfoToken> token;

NSProcessInfoToken::~NSProcessInfoToken()
{
    NSProcessRef = nullptr;
    ref = nullptr;
}

std::unique_ptr<NSProcessInfo> NSProcessInfo::processInfo()
{
    return std::make_unique<NSProcessInfo>(nullptr);
}

int NSProcessInfo::OSVersion()
{
    // No system version in the old "sysv" form exists here.
    return 0;
}

std::unique_ptr<NSProcessInfoToken> NSProcessInfo::beginActivityWithOptions(quint64, const QString &)
{
    return std::make_unique<NSProcessInfoToken>(NSProcessRef, nullptr);
}

QString NSProcessInfo::operatingSystemVersionString() const
{
    return QSysInfo::prettyProductName();
}

QString NSProcessInfo::processName() const
{
    return QCoreApplication::applicationName();
}

int NSProcessInfo::processorCount() const
{
    return QThread::idealThreadCount();
}

} // namespace bmNoNap
