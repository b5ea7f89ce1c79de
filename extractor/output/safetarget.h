// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "base/uniquefd.h"
#include "output/filenaming.h"

#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

// The rules that keep extraction inside the target directory and away from the
// user's own files, kept together so they can be read and checked in one place:
//  - a member name is a relative path of plain names, checked as the bytes
//    the kernel will read: absolute paths, drive letters, ".." components,
//    backslash traversals and NUL bytes (which would end the name early) are
//    refused, and so is a name longer than the kernel takes (NAME_MAX for a
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
//    again when empty, so a failed member leaves nothing behind;
//  - memory and system calls grow with the length of a name, never with the
//    square of its depth.

class MemberPath;
class LinkTarget;

namespace extractionRules {

// The longest component and the longest whole path the kernel takes.
constexpr size_t longestComponent = 255;
constexpr size_t longestPath = 4095;

// Splits a decoded member name into a MemberPath, or says why it is refused.
// Empty and "." components are dropped, so "./a//b" names "a/b".
Result<MemberPath> checkMemberPath(const std::string &name);

// Says why a symbolic link at `link` pointing to `target` could leave the target
// directory; succeeds when it stays inside: the target must be relative, and
// where it lands, its "." and ".." read one after the other from the link's
// own directory, must never climb above the target. A ".." that climbs back
// out of a name the target went down into is read so here, while the kernel
// would go up from wherever that name leads, a link among them; such a
// target is made into the path to where it lands, ".." only at its start.
Result<LinkTarget> checkLinkTarget(const MemberPath &link, const std::string &target);

} // namespace extractionRules

// A member's place beneath the target: plain names, none empty, ".", ".." or
// holding a NUL byte. Only checkMemberPath makes one.
class MemberPath
{
public:
    const std::vector<std::string> &components() const { return components_; }
    bool isTarget() const { return components_.empty(); }

    // The names joined with "/"; empty for the target itself.
    std::string text() const;

private:
    friend Result<MemberPath> extractionRules::checkMemberPath(const std::string &name);
    MemberPath() = default;

    std::vector<std::string> components_;
};

// A symbolic link's target that stays inside the target directory. Only
// checkLinkTarget makes one.
class LinkTarget
{
public:
    const std::string &text() const { return text_; }

private:
    friend Result<LinkTarget> extractionRules::checkLinkTarget(const MemberPath &link,
                                                               const std::string &target);
    explicit LinkTarget(std::string text) : text_(std::move(text)) {}

    std::string text_;
};

// A member's modification and access times, when the archive records them.
struct MemberTimes
{
    bool known = false;
    timespec modified{};
    timespec accessed{};
};

class SafeTarget;
struct DirectoryNode;

// A directory's descriptor, held by the target's cache and by every file
// still being written into that directory, and closed after the last.
using SharedFd = std::shared_ptr<const UniqueFd>;

// The directories one member created on its way to its place. They belong to
// this value: unless keep() is called, they are removed again, deepest
// first, as far as they are empty.
class CreatedDirectories
{
public:
    explicit CreatedDirectories(SafeTarget &target) : target_(&target) {}
    CreatedDirectories(CreatedDirectories &&other) noexcept;
    CreatedDirectories &operator=(CreatedDirectories &&) = delete;
    ~CreatedDirectories();

    // The member is in place: its directories stay.
    void keep() { count_ = 0; }

private:
    friend class SafeTarget;
    // One more directory, beneath the last, and a descriptor of it.
    void add(DirectoryNode &node, UniqueFd descriptor);

    SafeTarget *target_;
    DirectoryNode *deepest_ = nullptr;
    UniqueFd deepestFd_;
    size_t count_ = 0;
};

// A regular file being written beneath the target. Until commit() succeeds it
// has no name in the target directory, or only a hidden one where the file
// system has no unnamed files; dropping it uncommitted leaves no trace.
// Writing needs no lock: one thread may write a file while others use the
// target.
class PendingFile
{
public:
    PendingFile(SafeTarget &target, DirectoryNode &directoryNode, SharedFd directory, dev_t device,
                std::string name, NewFile file, CreatedDirectories createdDirectories);
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile();

    // Appends data; gives the failure (disk full, I/O error, with its errno)
    // if not all was written.
    Result<void> write(const void *data, size_t size);

    // Gives the file its times and final name, never replacing anything there.
    Result<void> commit(const MemberTimes &times);

private:
    SafeTarget &target_;
    DirectoryNode &directoryNode_;
    SharedFd directory_;
    dev_t device_;
    std::string name_;
    NewFile file_;
    CreatedDirectories createdDirectories_;
    bool committed_ = false;
};

// A directory beneath the target that this run has opened or made, with what
// the run knows of it. The directories form a tree from the target down, one
// name per node, so what is kept grows with the names, not their depth
// squared.
struct DirectoryNode
{
    DirectoryNode *parent = nullptr;
    std::string name;
    std::map<std::string, std::unique_ptr<DirectoryNode>> children;
    // Who it is, to recognise it again when climbing back up through "..".
    bool identified = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool createdThisRun = false;
    // A directory member: it stays even when empty.
    bool isMember = false;
    // Files not yet named in it or beneath it: it only looks empty. Counted
    // up with the target's lock held, down without: a count read too high
    // only leaves the directory's removal for the end.
    std::atomic<size_t> filesBeingWritten{0};
    // Emptied while files were still being written beneath it; whether it
    // stays empty shows only at the end.
    bool leftForTheEnd = false;
    MemberTimes times;
    // Something in this subtree waits for the end: a time or a removal.
    bool workBeneath = false;

    DirectoryNode &child(const std::string &childName);
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
    friend class PendingFile;
    friend class CreatedDirectories;
    SafeTarget(UniqueFd root, bool createdThisRun);

    struct Parent
    {
        SharedFd descriptor;
        DirectoryNode *node;
        // Read with the lock held, for use without it.
        bool createdThisRun = false;
        dev_t device = 0;

        int fd() const { return descriptor->get(); }
    };
    // The directory a member goes into, its missing levels created and
    // counted in `created`; the descriptor stays SafeTarget's.
    Result<Parent> openParent(const MemberPath &path, CreatedDirectories &created);
    Result<Parent> reserveParent(const MemberPath &path, CreatedDirectories &created);
    // A file without a name yet, or with a hidden one where the file system
    // cannot make it without.
    Result<NewFile> createUnnamed(const Parent &parent, const std::string &name, bool executable);
    // Why a name (of `folder`, or else the member's) could not be made in
    // `directory`: refused for itself when a name of our own can be made
    // there, else `failure` and the call's error say why.
    Error refusal(int directory, int error, const std::string &failure,
                  const std::string &folder = {});
    Result<UniqueFd> walk(const std::vector<std::string> &names, size_t count,
                          CreatedDirectories &created, DirectoryNode *&reached);
    DirectoryNode *knownDirectory(const std::vector<std::string> &names, size_t count);
    int openKnownInOneCall(const std::vector<std::string> &names, size_t count);
    void removeCreated(DirectoryNode *deepest, UniqueFd deepestFd, size_t count);
    void leaveForTheEnd(DirectoryNode *node);
    static void markWork(DirectoryNode *node);
    UniqueFd settle(DirectoryNode &node, UniqueFd fd);
    void forgetCachedParent();
    // A PendingFile is done with its directory, committed or not.
    void release(DirectoryNode &directory);

    std::mutex mutex_;
    SharedFd root_;
    DirectoryNode rootNode_;
    DirectoryNode *cachedParentNode_ = nullptr;
    SharedFd cachedParent_;
    FileNaming naming_;
    bool oneCallUnavailable_ = false;
};
