// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "output/filenaming.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file system answers for a call it does not have (FUSE drivers
// without rename flags give EINVAL, FAT and exFAT without hard links EPERM),
// and often for a name it does not take as well.
bool mayBeMissing(int error)
{
    return error == EINVAL || error == EOPNOTSUPP || error == ENOSYS || error == EPERM;
}

NamingMethod nextAfter(NamingMethod method)
{
    switch (method) {
    case NamingMethod::LinkUnnamed:
        return NamingMethod::RenameNoReplace;
    case NamingMethod::RenameNoReplace:
        return NamingMethod::LinkHidden;
    case NamingMethod::LinkHidden:
    case NamingMethod::RenameOverReserved:
        break;
    }
    return NamingMethod::RenameOverReserved;
}

// On FUSE a file closed after its name is gone stays as a ".fuse_hidden"
// file until then, and a write the driver could not store may show only
// when the file is closed.
Result<void> closeWritten(UniqueFd &fd)
{
    if (::close(fd.release()) != 0 && errno != EINTR)
        return systemError("cannot write");
    return {};
}

} // namespace

Error alreadyExists()
{
    return Error{"already exists", ErrorKind::exists};
}

Error refusedName(int error)
{
    return Error{"the target's file system does not accept this name", ErrorKind::refused, error};
}

// What FAT, exFAT and NTFS drivers give for characters they do not take
// (ntfs-3g EINVAL, exfat-fuse ENOENT, fusefat EPERM), for bytes that are no
// UTF-8, and for a name too long for them.
bool refusesName(int error)
{
    return error == EINVAL || error == ENOENT || error == EPERM || error == EILSEQ ||
           error == ENAMETOOLONG;
}

Result<NewFile> FileNaming::create(int directory, dev_t device, mode_t mode)
{
    NewFile file;
    file.method = methodOf(device);
    if (file.method == NamingMethod::LinkUnnamed) {
        file.fd.reset(::openat(directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (file.fd.valid())
            return file;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return systemError("cannot create the file");
        file.method = passOver(device, NamingMethod::LinkUnnamed);
    }
    file.fd.reset(createHidden(directory, mode, file.hiddenName));
    if (!file.fd.valid())
        return systemError("cannot create the file");
    return file;
}

Result<void> FileNaming::name(NewFile &file, int directory, dev_t device, const std::string &name)
{
    if (file.method != NamingMethod::LinkUnnamed)
        RETURN_IF_ERROR(closeWritten(file.fd));
    for (;;) {
        Attempt attempt;
        switch (file.method) {
        case NamingMethod::LinkUnnamed:
            attempt = linkUnnamed(file, directory, name);
            break;
        case NamingMethod::RenameNoReplace:
            attempt = renameNoReplace(file, directory, device, name);
            break;
        case NamingMethod::LinkHidden:
            attempt = linkHidden(file, directory, device, name);
            break;
        case NamingMethod::RenameOverReserved:
            attempt = renameOverReserved(file, directory, name);
            break;
        }
        if (!attempt.missing)
            return attempt.result;
        file.method = methodOf(device);
    }
}

void FileNaming::discard(NewFile &file, int directory)
{
    file.fd.reset();
    if (!file.hiddenName.empty())
        ::unlinkat(directory, file.hiddenName.c_str(), 0);
}

bool FileNaming::takesOwnDirectoryName(int directory)
{
    const std::string own = hiddenName();
    if (::mkdirat(directory, own.c_str(), 0700) != 0)
        return false;
    ::unlinkat(directory, own.c_str(), AT_REMOVEDIR);
    return true;
}

FileNaming::Attempt FileNaming::linkUnnamed(NewFile &file, int directory, const std::string &name)
{
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(file.fd.get());
    if (::linkat(AT_FDCWD, byDescriptor.c_str(), directory, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return {};
    int error = errno;
    // Without /proc only a process allowed to look up any file may link a
    // descriptor directly.
    if (error == ENOENT) {
        if (::linkat(file.fd.get(), "", directory, name.c_str(), AT_EMPTY_PATH) == 0)
            return {};
        error = errno;
    }
    if (error == EEXIST)
        return {false, alreadyExists()};
    // A folder that folds case may take only valid UTF-8 (ext4's casefold).
    if (error == EINVAL || error == EILSEQ || error == ENAMETOOLONG)
        return {false, refusedName(error)};
    return {false, systemError("cannot name the file", error)};
}

FileNaming::Attempt FileNaming::renameNoReplace(NewFile &file, int directory, dev_t device,
                                                const std::string &name)
{
    if (::renameat2(directory, file.hiddenName.c_str(), directory, name.c_str(),
                    RENAME_NOREPLACE) == 0) {
        file.hiddenName.clear();
        return {};
    }
    return missingOrRefused(errno, file, directory, device);
}

FileNaming::Attempt FileNaming::linkHidden(NewFile &file, int directory, dev_t device,
                                           const std::string &name)
{
    if (::linkat(directory, file.hiddenName.c_str(), directory, name.c_str(), 0) != 0)
        return missingOrRefused(errno, file, directory, device);
    // The file is in place; a hidden name that stayed would be only a
    // second name of it.
    ::unlinkat(directory, file.hiddenName.c_str(), 0);
    file.hiddenName.clear();
    return {};
}

// The only rename that may replace: what it replaces is the empty file this
// call has just created with O_EXCL, and nothing else touches a name the run
// has taken.
FileNaming::Attempt FileNaming::renameOverReserved(NewFile &file, int directory,
                                                   const std::string &name)
{
    UniqueFd reserved(::openat(directory, name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!reserved.valid()) {
        const int error = errno;
        if (error == EEXIST)
            return {false, alreadyExists()};
        return {false, refusesName(error) ? refusedName(error)
                                          : systemError("cannot name the file", error)};
    }
    reserved.reset();
    if (::renameat(directory, file.hiddenName.c_str(), directory, name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(directory, name.c_str(), 0);
        return {false, systemError("cannot name the file", error)};
    }
    file.hiddenName.clear();
    return {};
}

// The same answer comes for a method the file system lacks and for a name
// it does not take. The call made again between two names of our own, which
// every file system takes, tells them apart, once per file system: the
// lock keeps threads that meet the same refusal from asking again.
FileNaming::Attempt FileNaming::missingOrRefused(int error, NewFile &file, int directory,
                                                 dev_t device)
{
    if (error == EEXIST)
        return {false, alreadyExists()};
    if (error == EILSEQ || error == ENAMETOOLONG)
        return {false, refusedName(error)};
    if (!mayBeMissing(error))
        return {false, systemError("cannot name the file", error)};
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto &[known, method] : methods_) {
        if (known != device)
            continue;
        if (method != file.method)
            return {true};
        const int own = tryWithOwnNames(file, directory);
        if (own == 0)
            return {false, refusedName(error)};
        if (!mayBeMissing(own))
            return {false, systemError("cannot name the file", error)};
        method = nextAfter(method);
        return {true};
    }
    return {false, systemError("cannot name the file", error)};
}

int FileNaming::tryWithOwnNames(NewFile &file, int directory)
{
    const std::string own = hiddenName();
    if (file.method == NamingMethod::RenameNoReplace) {
        if (::renameat2(directory, file.hiddenName.c_str(), directory, own.c_str(),
                        RENAME_NOREPLACE) != 0)
            return errno;
        file.hiddenName = own;
        return 0;
    }
    if (::linkat(directory, file.hiddenName.c_str(), directory, own.c_str(), 0) != 0)
        return errno;
    ::unlinkat(directory, own.c_str(), 0);
    return 0;
}

NamingMethod FileNaming::methodOf(dev_t device)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto &[known, method] : methods_)
        if (known == device)
            return method;
    methods_.emplace_back(device, NamingMethod::LinkUnnamed);
    return NamingMethod::LinkUnnamed;
}

NamingMethod FileNaming::passOver(dev_t device, NamingMethod method)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto &[known, current] : methods_) {
        if (known != device)
            continue;
        if (current == method)
            current = nextAfter(method);
        return current;
    }
    return nextAfter(method);
}

// Created with O_EXCL, so nothing existing is opened.
int FileNaming::createHidden(int directory, mode_t mode, std::string &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = hiddenName();
        const int fd = ::openat(directory, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A name only this process makes, which every file system takes and which
// says what made it.
std::string FileNaming::hiddenName()
{
    return hiddenPrefix_ + std::to_string(counter_++);
}
