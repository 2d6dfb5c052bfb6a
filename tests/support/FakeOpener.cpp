// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/FakeOpener.h"

#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <csignal>

FakeOpener::FakeOpener() : m_oldPath(qgetenv("PATH"))
{
    if (!m_dir.isValid())
        return;
    const QString script = m_dir.filePath(QStringLiteral("xdg-open"));
    const QByteArray text = "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '"
        + QFile::encodeName(m_dir.filePath(QStringLiteral("urls"))) + "'\necho $$ >> '"
        + QFile::encodeName(m_dir.filePath(QStringLiteral("pids"))) + "'\nexec sleep 30\n";
    m_valid = writeAll(script, text)
        && QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_oldPath);
}

FakeOpener::~FakeOpener()
{
    for (const int pid : pids())
        ::kill(pid, SIGKILL);
    qputenv("PATH", m_oldPath);
}

void FakeOpener::remove()
{
    QFile::remove(m_dir.filePath(QStringLiteral("xdg-open")));
    qputenv("PATH", QFile::encodeName(m_dir.path()));
}

QStringList FakeOpener::urls() const
{
    return QString::fromUtf8(readAll(m_dir.filePath(QStringLiteral("urls")))).split(u'\n', Qt::SkipEmptyParts);
}

bool FakeOpener::waitForUrls(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return urls().size() >= count; }, timeoutMs);
}

QList<int> FakeOpener::pids() const
{
    QList<int> list;
    const auto lines = readAll(m_dir.filePath(QStringLiteral("pids"))).split('\n');
    for (const QByteArray &line : lines) {
        if (const int pid = line.toInt(); pid > 0)
            list.append(pid);
    }
    return list;
}

std::optional<FakeOpener::Inherited> FakeOpener::firstInherited(int timeoutMs) const
{
    QString proc;
    const bool sleeping = QTest::qWaitFor(
        [&] {
            const QList<int> list = pids();
            if (list.isEmpty())
                return false;
            proc = QStringLiteral("/proc/%1").arg(list.constFirst());
            return readAll(proc + QStringLiteral("/comm")) == "sleep\n";
        },
        timeoutMs);
    if (!sleeping)
        return std::nullopt;
    Inherited inherited;
    inherited.descriptors = QDir(proc + QStringLiteral("/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    std::sort(inherited.descriptors.begin(), inherited.descriptors.end());
    inherited.environment = readAll(proc + QStringLiteral("/environ"));
    const auto status = readAll(proc + QStringLiteral("/status")).split('\n');
    for (const QByteArray &line : status) {
        if (line.startsWith("SigIgn:"))
            inherited.ignoredSignals = line.mid(7).trimmed().toULongLong(nullptr, 16);
    }
    return inherited;
}
