// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

namespace {
QString notRegular(mode_t mode)
{
    const char *kind = "something other than a file";
    if (S_ISLNK(mode))
        kind = "a symbolic link";
    else if (S_ISFIFO(mode))
        kind = "a FIFO";
    else if (S_ISCHR(mode))
        kind = "a character device";
    else if (S_ISBLK(mode))
        kind = "a block device";
    else if (S_ISSOCK(mode))
        kind = "a socket";
    else if (S_ISDIR(mode))
        kind = "a folder";
    return QStringLiteral("Not a regular file but %1").arg(QLatin1String(kind));
}
} // namespace

Result<> open(QFile &file, QIODevice::OpenMode mode)
{
    const QIODevice::OpenMode access = mode & ~QIODevice::OpenMode(QIODevice::Unbuffered);
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (access == QIODevice::ReadOnly)
        flags |= O_RDONLY;
    else if (access == (QIODevice::WriteOnly | QIODevice::Append))
        flags |= O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW;
    else
        return Result<>::failure(QStringLiteral("Unsupported open mode"));

    // O_NONBLOCK makes the open itself return at once for a FIFO (with or without someone at
    // the other end); what it opened is then looked at before anything is read or written.
    const QByteArray path = QFile::encodeName(file.fileName());
    int fd = -1;
    do
        fd = ::open(path.constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        // A link refused by O_NOFOLLOW reads "too many levels of symbolic links", and a FIFO
        // nobody reads "no such device": say what is there instead.
        struct stat there = {};
        if ((error == ELOOP || error == ENXIO) && ::lstat(path.constData(), &there) == 0 && !S_ISREG(there.st_mode))
            return Result<>::failure(notRegular(there.st_mode));
        return Result<>::failure(qt_error_string(error));
    }

    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return Result<>::failure(qt_error_string(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Result<>::failure(notRegular(info.st_mode));
    }
    // Plain blocking reads and writes from here on, as for any regular file.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Result<>::failure(file.errorString());
    }
    return {};
}

Result<> replaceable(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return S_ISREG(info.st_mode) ? Result<>() : Result<>::failure(notRegular(info.st_mode));
    // Nothing there, or a link to nothing: the save creates the file.
    if (errno == ENOENT)
        return {};
    return Result<>::failure(qt_error_string(errno));
}

} // namespace RegularFile
