// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "output/safetarget.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

PendingFile::PendingFile(FileNaming &naming, FolderReservation directory, std::string name,
                         NewFile file)
    : naming_(naming), directory_(std::move(directory)), name_(std::move(name)),
      file_(std::move(file))
{
}

// The file is gone before its directory is let go: until then the directory
// only looks empty.
PendingFile::~PendingFile()
{
    FileNaming::discard(file_, directory_.fd());
    if (committed_)
        directory_.keep();
    else
        directory_.abandon();
}

Result<void> PendingFile::write(const void *data, size_t size)
{
    const char *next = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(file_.fd.get(), next, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return systemError("cannot write");
        }
        next += written;
        size -= static_cast<size_t>(written);
    }
    return {};
}

Result<void> PendingFile::commit(const MemberTimes &times)
{
    if (times.known) {
        const timespec both[2] = {times.accessed, times.modified};
        if (::futimens(file_.fd.get(), both) != 0)
            return systemError("cannot set its time");
    }
    RETURN_IF_ERROR(naming_.name(file_, directory_.fd(), directory_.device(), name_));
    committed_ = true;
    return {};
}

Result<std::unique_ptr<SafeTarget>> SafeTarget::open(const std::string &path)
{
    // Like mkdir -p, but the usual case (the parent exists) costs one call.
    bool created = ::mkdir(path.c_str(), directoryMode) == 0;
    if (!created && errno == ENOENT) {
        for (size_t slash = path.find('/', 1); slash != std::string::npos;
             slash = path.find('/', slash + 1))
            ::mkdir(path.substr(0, slash).c_str(), directoryMode);
        created = ::mkdir(path.c_str(), directoryMode) == 0;
    }
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return systemError("cannot create or open the target directory " + path);
    const std::optional<FolderIdentity> identity = identityOf(fd.get());
    if (!identity)
        return systemError("cannot look at the target directory " + path);
    return std::unique_ptr<SafeTarget>(new SafeTarget(std::move(fd), *identity, created));
}

SafeTarget::SafeTarget(UniqueFd root, FolderIdentity identity, bool createdThisRun)
    : ledger_(std::move(root), identity, createdThisRun, naming_)
{
}

Result<void> SafeTarget::makeDirectory(const MemberPath &path, const MemberTimes &times)
{
    if (path.isTarget())
        return {};
    Result<FolderReservation> parent = ledger_.reserve(path);
    if (!parent)
        return parent.error();
    RETURN_IF_ERROR(ledger_.makeFolderMember(*parent, path.components().back(), times));
    parent->keep();
    return {};
}

Result<void> SafeTarget::makeSymlink(const MemberPath &path, const LinkTarget &target,
                                     const MemberTimes &times)
{
    if (path.isTarget())
        return Error{"a symbolic link cannot replace the target directory", ErrorKind::refused};
    Result<FolderReservation> parent = ledger_.reserve(path);
    if (!parent)
        return parent.error();
    const char *name = path.components().back().c_str();
    if (::symlinkat(target.text().c_str(), parent->fd(), name) != 0) {
        if (errno == EEXIST)
            return alreadyExists();
        // FAT and exFAT have none.
        if (errno == ENOSYS || errno == EOPNOTSUPP || errno == EPERM)
            return Error{"the target's file system has no symbolic links", ErrorKind::refused,
                         errno};
        return refusal(naming_, parent->fd(), errno, "cannot create the link");
    }
    if (times.known) {
        // A link's own time is cosmetic; the link is there either way.
        const timespec both[2] = {times.accessed, times.modified};
        ::utimensat(parent->fd(), name, both, AT_SYMLINK_NOFOLLOW);
    }
    parent->keep();
    return {};
}

Result<std::unique_ptr<PendingFile>> SafeTarget::startFile(const MemberPath &path, bool executable)
{
    if (path.isTarget())
        return Error{"a file cannot replace the target directory", ErrorKind::refused};
    Result<FolderReservation> parent = ledger_.reserve(path);
    if (!parent)
        return parent.error();
    // The directory is reserved for this file; creating the file needs no
    // lock, so other threads go on placing their members meanwhile.
    Result<NewFile> data = createUnnamed(*parent, path.components().back(), executable);
    if (!data)
        return data.error();
    // The file shares the directory's descriptor: the ledger's cache may move
    // on with the next member while this file is still being written.
    return std::make_unique<PendingFile>(naming_, std::move(*parent), path.components().back(),
                                         std::move(*data));
}

Result<NewFile> SafeTarget::createUnnamed(const FolderReservation &directory,
                                          const std::string &name, bool executable)
{
    // Spares decompressing a member that cannot be placed. In a directory
    // this run made, only a member before could be in the way, and that
    // rarely; the final link is what guarantees that nothing is replaced.
    struct stat existing;
    if (!directory.createdThisRun() &&
        ::fstatat(directory.fd(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return alreadyExists();
    return naming_.create(directory.fd(), directory.device(),
                          executable ? executableMode : fileMode);
}

Result<uint64_t> SafeTarget::room() const
{
    return roomBeside(ledger_.rootFd());
}

void SafeTarget::finish()
{
    ledger_.finish();
}
