// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/DailyLogFile.h"

#include <limits>

#include "core/platform/OutsideText.h"
#include "core/platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

QString englishWeekday(int dayOfWeek)
{
    // QDate counts Monday as 1 and Sunday as 7.
    static const char *const names[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    if (dayOfWeek < 1 || dayOfWeek > 7)
        return QString();
    return QLatin1String(names[dayOfWeek - 1]);
}

QString isoDate(const QDate &date)
{
    const QLatin1Char zero('0');
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, zero)
        .arg(date.month(), 2, 10, zero)
        .arg(date.day(), 2, 10, zero);
}

} // namespace

DailyLogFile::DailyLogFile(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    m_date = isoDate(local.date());
    m_weekday = englishWeekday(local.date().dayOfWeek());
    m_longTime = longTimeText(local);
}

QString DailyLogFile::fileName() const
{
    return QStringLiteral("OnTheAirVideo Log ") + m_date + QStringLiteral(".txt");
}

QString DailyLogFile::path(const QString &folder) const
{
    return folder + fileName();
}

QByteArray DailyLogFile::line(const QString &msg, const QString &vtId) const
{
    const QChar tab(QLatin1Char('\t'));
    const QString text = tab + m_date + tab + m_longTime + tab + m_weekday + tab + QStringLiteral("**********") + tab
        + OutsideText::escaped(msg) + QStringLiteral(" on VT ") + OutsideText::escaped(vtId) + QStringLiteral("\r\n");
    return text.toUtf8();
}

Result<> DailyLogFile::append(const QString &folder, const QString &msg, const QString &vtId) const
{
    if (!isUsableFolder(folder))
        return Result<>::failure(QStringLiteral("The log folder is not an absolute path"));
    const QByteArray bytes = line(msg, vtId);
    QFile file(path(folder));
    // Append creates a missing file; the folder is left for the operator to provide. Anything
    // but a regular file at the path fails like a missing folder: a FIFO would hold the write,
    // and a link planted in a shared log folder would have the line land in whatever it names
    // (the folder itself may well be a link to shared storage; only the file's own name is not
    // followed).
    const Result<> opened = RegularFile::open(file, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    if (!opened.ok())
        return opened;
    // A disk that fills up mid-line takes part of it; that part is cut off again, so the file
    // holds whole lines only and the next line does not run on from a broken one.
    const qint64 sizeBefore = file.size();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.resize(sizeBefore);
        return Result<>::failure(reason);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return Result<>::failure(file.errorString());
    return {};
}

qint64 DailyLogFile::size(const QString &folder) const
{
    return isUsableFolder(folder) ? QFileInfo(path(folder)).size() : 0;
}

bool DailyLogFile::isUsableFolder(const QString &folder)
{
    return !folder.isEmpty() && QDir::isAbsolutePath(folder);
}

QString DailyLogFile::longTimeText(const QDateTime &when)
{
    // The text changes once a second, and formatting it (time zone name included) is dear on
    // the tally path, which needs it for every row and line: it is made once per second.
    static qint64 cachedSecond = std::numeric_limits<qint64>::min();
    static int cachedOffset = 0;
    static QString cachedText;
    // The system clock hands out one reading for a whole second. Two local times of the same
    // wall-clock time are compared cheaply, while asking one for its second or offset reads the
    // time zone's file again: the same instant at the same wall-clock time has the same text.
    static QDateTime cachedWhen;
    if (when.isValid() && when.timeSpec() == Qt::LocalTime && cachedWhen.timeSpec() == Qt::LocalTime
        && when.time() == cachedWhen.time() && when.date() == cachedWhen.date() && when == cachedWhen)
        return cachedText;
    const qint64 second = when.toSecsSinceEpoch();
    const int offset = when.offsetFromUtc();
    if (second != cachedSecond || offset != cachedOffset) {
        const QLocale locale = QLocale::system();
        cachedText = locale.toString(when, locale.timeFormat(QLocale::LongFormat));
        cachedSecond = second;
        cachedOffset = offset;
    }
    cachedWhen = when;
    return cachedText;
}

QString DailyLogFile::screenRow(const QDateTime &when, const QString &msg)
{
    return longTimeText(when) + QStringLiteral(" : ") + OutsideText::escaped(msg);
}
