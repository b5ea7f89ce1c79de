// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "output/filenaming.h"
#include "output/folderledger.h"
#include "output/namerules.h"
#include "output/systemcalls.h"

#include <memory>
#include <string>

// The rules that keep extraction inside the target directory and away from the
// user's own files, kept together so they can be read and checked in one place:
//  - a member name is a relative path of plain names, checked as the bytes
//    the kernel will read (namerules.h): absolute paths, drive letters, ".."
//    components and NUL bytes (which would end the name early) are refused,
//    and so is a name longer than the kernel takes (NAME_MAX for a
//    component, PATH_MAX for the whole);
//  - only a name that passed those checks reaches a system call: MemberPath and
//    LinkTarget can be made by the checks alone;
//  - every path beneath the target is opened one name at a time with
//    O_NOFOLLOW the first time, later in one openat2 call that the kernel
//    resolves beneath the target refusing any symbolic link, so no member is
//    ever written through a symbolic link;
//  - file data goes to an unnamed (O_TMPFILE) or hidden temporary file in the
//    member's own directory and gets its final name only when the caller has
//    read and checked all of it, with calls that never replace (linkat,
//    renameat2 RENAME_NOREPLACE, mkdirat, symlinkat); where a file system
//    has neither rename flags nor hard links, by a rename over the empty file
//    just created under the name with O_EXCL, and over nothing else
//    (FileNaming);
//  - an existing file, directory or link is never replaced or modified;
//  - a symbolic link is created only when its target stays inside the target;
//  - modes come from the user's umask: 0666, or 0777 for directories and
//    executables, never a set-user-ID, set-group-ID or sticky bit;
//  - directories this run created for a member that then failed are removed
//    again when empty, so a failed member leaves nothing behind
//    (FolderLedger);
//  - memory and system calls grow with the length of a name, never with the
//    square of its depth.

// A regular file being written beneath the target. Until commit() succeeds it
// has no name in the target directory, or only a hidden one where the file
// system has no unnamed files; dropping it uncommitted leaves no trace, nor
// the directories its member created. Writing needs no lock: one thread may
// write a file while others use the target.
class PendingFile
{
public:
    PendingFile(FileNaming &naming, FolderReservation directory, std::string name, NewFile file);
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile();

    // Appends data; gives the failure (disk full, I/O error) if not all was
    // written.
    Result<void> write(const void *data, size_t size);

    // Gives the file its times and final name, never replacing anything there.
    Result<void> commit(const MemberTimes &times);

private:
    FileNaming &naming_;
    FolderReservation directory_;
    std::string name_;
    NewFile file_;
    bool committed_ = false;
};

// The target directory, opened once, and everything written beneath it. Its
// methods may be called from several threads at once.
class SafeTarget
{
public:
    // Opens the target directory, creating it and any missing parents first.
    // The target's own path is the user's and may pass through links.
    static Result<std::unique_ptr<SafeTarget>> open(const std::string &path);

    // Creates a directory member. An existing directory counts as written only
    // when this run created it (for an earlier member).
    Result<void> makeDirectory(const MemberPath &path, const MemberTimes &times);

    // Creates a symbolic link member.
    Result<void> makeSymlink(const MemberPath &path, const LinkTarget &target,
                             const MemberTimes &times);

    // Starts a regular file member, creating its missing parent directories.
    Result<std::unique_ptr<PendingFile>> startFile(const MemberPath &path, bool executable);

    // The bytes the target's file system still has room for.
    Result<uint64_t> room() const;

    // Removes what failed members left, then gives the directory members
    // their recorded times, deepest first, now that nothing more is written
    // into them. Every PendingFile must be gone by then.
    void finish();

private:
    SafeTarget(UniqueFd root, FolderIdentity identity, bool createdThisRun);

    // A file without a name yet, or with a hidden one where the file system
    // cannot make it without.
    Result<NewFile> createUnnamed(const FolderReservation &directory, const std::string &name,
                                  bool executable);

    FileNaming naming_;
    FolderLedger ledger_;
};
