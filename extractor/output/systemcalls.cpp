// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "output/systemcalls.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

std::optional<FolderIdentity> identityOf(int fd)
{
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return std::nullopt;
    return FolderIdentity{status.st_dev, status.st_ino};
}

int openDirectoryBeneath(int directoryFd, const char *name)
{
    return ::openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

int openBeneathInOneCall(int targetFd, const std::string &path)
{
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, targetFd, path.c_str(), &how, sizeof how));
}

UniqueFd openDirectoryAbove(int fd)
{
    return UniqueFd(::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

UniqueFd duplicate(int fd)
{
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

void setTimes(int fd, const MemberTimes &times)
{
    const timespec both[2] = {times.accessed, times.modified};
    ::futimens(fd, both);
}

Result<uint64_t> roomBeside(int fd)
{
    struct statvfs status;
    if (::fstatvfs(fd, &status) != 0)
        return systemError("cannot tell the free space");
    return static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
}

Error refusal(FileNaming &naming, int directory, int error, const std::string &failure,
              const std::string &folder)
{
    if (!refusesName(error) || !naming.takesOwnDirectoryName(directory))
        return systemError(failure, error);
    if (folder.empty())
        return refusedName(error);
    return Error{"the target's file system does not accept the name of folder " + folder,
                 ErrorKind::refused, error};
}
