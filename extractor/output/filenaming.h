// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "base/uniquefd.h"

#include <atomic>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

// A member whose name is taken already.
Error alreadyExists();

// A member whose name the target's file system does not take, for `error`.
Error refusedName(int error);

// Whether `error`, the answer to making a name in a directory that takes
// other names, is how file systems refuse that name. Some of these answers
// also mean a call the file system lacks, which only trying a name of our
// own tells apart.
bool refusesName(int error);

// How a member's file, written in full, gets its name without replacing
// anything, most preferred first. Each file system takes the first it has.
enum class NamingMethod {
    // An unnamed (O_TMPFILE) file linked into place: a kill leaves nothing.
    LinkUnnamed,
    // A hidden name, renamed with RENAME_NOREPLACE (kernel FAT, exFAT, CIFS).
    RenameNoReplace,
    // A hidden name, linked to the member's name, then removed (ntfs-3g,
    // NFS: hard links but no rename flags).
    LinkHidden,
    // A hidden name renamed over an empty file created under the member's
    // name with O_EXCL the moment before, which proves the name was free and
    // makes it ours (FAT and exFAT through FUSE: neither).
    RenameOverReserved,
};

// A member's data being written: unnamed, or under a hidden name beside
// where it goes when the file system has no unnamed files.
struct NewFile
{
    UniqueFd fd;
    std::string hiddenName; // empty once named, or when never hidden
    NamingMethod method = NamingMethod::LinkUnnamed;
};

// Creates and names the files of one target. Which method a file system
// has shows at its first refusal, is found out once with names of our own,
// and is kept for the rest of the run, so a drive is not probed member by
// member. Threads share it.
class FileNaming
{
public:
    // A new file in `directory`, on file system `device`, with `mode`.
    Result<NewFile> create(int directory, dev_t device, mode_t mode);

    // Gives the file `name`, never replacing what is there; a hidden file
    // is closed first. What fails leaves at most the hidden name, which
    // discard() removes.
    Result<void> name(NewFile &file, int directory, dev_t device, const std::string &name);

    // Removes what a file that will not be named left.
    static void discard(NewFile &file, int directory);

    // Whether a name of our own can be made as a directory in `directory`:
    // when it can, a name that could not be was refused for itself.
    bool takesOwnDirectoryName(int directory);

private:
    // What one method gave: done, failed, or missing on this file system.
    struct Attempt
    {
        bool missing = false;
        Result<void> result = {};
    };
    Attempt linkUnnamed(NewFile &file, int directory, const std::string &name);
    Attempt renameNoReplace(NewFile &file, int directory, dev_t device, const std::string &name);
    Attempt linkHidden(NewFile &file, int directory, dev_t device, const std::string &name);
    Attempt renameOverReserved(NewFile &file, int directory, const std::string &name);
    Attempt missingOrRefused(int error, NewFile &file, int directory, dev_t device);

    NamingMethod methodOf(dev_t device);
    // Moves `device` past `method` unless another thread did; gives the
    // method to try now.
    NamingMethod passOver(dev_t device, NamingMethod method);
    int tryWithOwnNames(NewFile &file, int directory);
    int createHidden(int directory, mode_t mode, std::string &name);
    std::string hiddenName();

    std::mutex mutex_;
    std::vector<std::pair<dev_t, NamingMethod>> methods_;
    std::atomic<unsigned> counter_{0};
    const std::string hiddenPrefix_ = ".pkunzip-" + std::to_string(::getpid()) + "-";
};
