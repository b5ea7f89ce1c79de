// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "settingsfile.h"

#include "uniquefd.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Two directory texts fit many times over; a larger file is read no further
// than this.
const qsizetype largestSettingsRead = 64 * 1024;

// Some of Qt's failures come from its own checks rather than a system call
// and leave errno alone; the caller clears errno first, and EIO stands for
// those.
int errorAfterFailure()
{
    return errno != 0 ? errno : EIO;
}

// Whether fd, open on the settings file, is a regular file; a directory is
// told by the system's own error, anything else as not a file to read.
Result<void> checkRegularFile(int fd, const QString &operation)
{
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return Failure::fromErrno(operation, errno);
    if (S_ISDIR(status.st_mode))
        return Failure::fromErrno(operation, EISDIR);
    if (!S_ISREG(status.st_mode))
        return Failure::ofKind(operation, FailureKind::NotRegularFile);
    return {};
}

// Qt does not keep the system's error number for reads, so the file is read
// with the system calls themselves. Opening without waiting means a FIFO
// with no writer cannot hold the window up; it is then refused, with
// devices and sockets, before anything is read from it.
Result<QByteArray> readStart(const QString &path)
{
    const QString operation = QStringLiteral("Impossibile leggere le impostazioni da %1").arg(path);
    const UniqueFd file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.isOpen())
        return Failure::fromErrno(operation, errno);
    if (Result<void> regular = checkRegularFile(file.get(), operation); !regular)
        return regular.failure();
    QByteArray bytes(largestSettingsRead, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got =
            ::read(file.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (got == 0)
            break;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Failure::fromErrno(operation, errno);
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

// Makes directory and any missing folder above it, a failure told as
// operation. A settings file in the user's configuration directory has no
// folder before its first save, and such folders are the user's alone (0700).
Result<void> makeMissingFolders(const QString &directory, const QString &operation)
{
    if (QFileInfo::exists(directory))
        return {};
    const QString parent = QFileInfo(directory).path();
    if (parent != directory)
        if (Result<void> made = makeMissingFolders(parent, operation); !made)
            return made;
    if (::mkdir(QFile::encodeName(directory).constData(), 0700) != 0 && errno != EEXIST)
        return Failure::fromErrno(operation, errno);
    return {};
}

} // namespace

Result<void> saveSettingsFile(const QString &path, const SavedDirectories &directories)
{
    const QString operation = QStringLiteral("Impossibile salvare le impostazioni in %1").arg(path);
    const Result<QByteArray> formatted = formatSettings(directories, path);
    if (!formatted)
        return formatted.failure();
    const QByteArray &bytes = *formatted;
    if (Result<void> made = makeMissingFolders(QFileInfo(path).path(), operation); !made)
        return made;
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return Failure::fromErrno(operation, errorAfterFailure());
    errno = 0;
    if (file.write(bytes) != bytes.size())
        return Failure::fromErrno(operation, errorAfterFailure());
    // The write only fills Qt's buffer, and commit() in this Qt puts the new
    // file in place even when emptying that buffer fails (a full disk), so
    // the bytes must reach the file before it may replace the old one
    // (QTBUG-75077).
    errno = 0;
    if (!file.flush())
        return Failure::fromErrno(operation, errorAfterFailure());
    errno = 0;
    if (!file.commit())
        return Failure::fromErrno(operation, errorAfterFailure());
    return {};
}

Result<SavedDirectories> loadSettingsFile(const QString &path)
{
    const Result<QByteArray> read = readStart(path);
    if (!read)
        return read.failure();
    return parseSettings(*read, path);
}

bool isMissingSettingsFile(const Failure &failure)
{
    return failure.isSystemError(ENOENT);
}
