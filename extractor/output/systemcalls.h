// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "base/uniquefd.h"
#include "output/filenaming.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

// The system calls the target is written with, each opening or making one
// name in a directory given by its descriptor; how a file gets its name
// without replacing anything, per file system, is FileNaming's.

// A directory's descriptor, held by the ledger's cache and by every member
// reserved in that directory, and closed after the last.
using SharedFd = std::shared_ptr<const UniqueFd>;

// A member's modification and access times, when the archive records them.
struct MemberTimes
{
    bool known = false;
    timespec modified{};
    timespec accessed{};
};

// The modes handed to the kernel, which takes the umask away.
constexpr mode_t fileMode = 0666;
constexpr mode_t executableMode = 0777;
constexpr mode_t directoryMode = 0777;

// Who a directory is, to recognise it again when climbing back up through "..".
struct FolderIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
};

std::optional<FolderIdentity> identityOf(int fd);

// Opens the directory `name` in `directoryFd`, never through a symbolic link.
int openDirectoryBeneath(int directoryFd, const char *name);

// Opens a directory beneath the target in one call. The kernel resolves the
// path beneath it and refuses a symbolic link anywhere on the way, as opening
// one name at a time with O_NOFOLLOW does. Fails with ENOSYS before Linux 5.6.
int openBeneathInOneCall(int targetFd, const std::string &path);

// The directory above the one `fd` opens, reached through "..".
UniqueFd openDirectoryAbove(int fd);

UniqueFd duplicate(int fd);

// Gives the file or directory `fd` opens its times; a time that cannot be set
// is cosmetic, the member is there either way.
void setTimes(int fd, const MemberTimes &times);

// The bytes the file system of `fd` still has room for.
Result<uint64_t> roomBeside(int fd);

// Why a name (of `folder`, or else the member's) could not be made in
// `directory`: refused for itself when a name of our own can be made there,
// else `failure` and the call's error say why.
Error refusal(FileNaming &naming, int directory, int error, const std::string &failure,
              const std::string &folder = {});
