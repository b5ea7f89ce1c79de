#pragma once

#include "result.h"
#include "uniquefd.h"

#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// The rules that keep extraction inside the target directory and away from the
// user's own files, kept together so they can be read and checked in one place:
//  - a member name is a relative path of plain names: absolute paths, drive
//    letters, ".." components and backslash traversals are refused;
//  - every path beneath the target is opened one name at a time with
//    O_NOFOLLOW, so no member is ever written through a symbolic link;
//  - file data goes to an unnamed (O_TMPFILE) or hidden temporary file in the
//    member's own directory and gets its final name only when the caller has
//    read and checked all of it, with calls that never replace (linkat,
//    renameat2 RENAME_NOREPLACE, mkdirat, symlinkat);
//  - an existing file, directory or link is never replaced or modified;
//  - a symbolic link is created only when its target stays inside the target;
//  - modes come from the user's umask: 0666, or 0777 for directories and
//    executables, never a set-user-ID, set-group-ID or sticky bit;
//  - directories this run created for a member that then failed are removed
//    again when empty, so a failed member leaves nothing behind.

// A member's place beneath the target: plain names, none empty, "." or "..".
struct MemberPath
{
    std::vector<std::string> components;

    // The names joined with "/"; empty for the target itself.
    std::string text() const;
};

// A member's modification and access times, when the archive records them.
struct MemberTimes
{
    bool known = false;
    timespec modified{};
    timespec accessed{};
};

namespace extractionRules {

// Splits a decoded member name into a MemberPath, or says why it is refused.
// Empty and "." components are dropped, so "./a//b" names "a/b".
Result<MemberPath> checkMemberPath(const std::string &name);

// Says why a symbolic link at `link` pointing to `target` could leave the target
// directory; succeeds when it stays inside: the target must be relative, and
// its ".." components must all come first and climb no higher than the link's
// own directory.
Result<void> checkLinkTarget(const MemberPath &link, const std::string &target);

} // namespace extractionRules

class SafeTarget;

// A regular file being written beneath the target. Until commit() succeeds it
// has no name in the target directory; dropping it uncommitted leaves no trace.
// Writing needs no lock: one thread may write a file while others use the
// target.
class PendingFile
{
public:
    PendingFile(SafeTarget &target, UniqueFd directory, std::string directoryPath, std::string name,
                UniqueFd file, std::string temporaryName,
                std::vector<std::string> createdDirectories);
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile();

    // Appends data; gives the failure (disk full, I/O error, with its errno)
    // if not all was written.
    Result<void> write(const void *data, size_t size);

    // Gives the file its times and final name, never replacing anything there.
    Result<void> commit(const MemberTimes &times);

private:
    Result<void> linkIntoPlace();

    SafeTarget &target_;
    UniqueFd directory_;
    std::string directoryPath_;
    std::string name_;
    UniqueFd file_;
    std::string temporaryName_; // empty for an O_TMPFILE file
    std::vector<std::string> createdDirectories_;
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

    // Creates a symbolic link member, after checkLinkTarget allowed it.
    Result<void> makeSymlink(const MemberPath &path, const std::string &target,
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
    explicit SafeTarget(UniqueFd root);

    // The directory a member goes into; the descriptor stays SafeTarget's.
    Result<int> openParent(const MemberPath &path);
    // openParent for a new member: what it creates is counted as the member's,
    // and removed again when the opening fails.
    Result<int> openMemberParent(const MemberPath &path);
    Result<UniqueFd> walk(const std::vector<std::string> &names, size_t count, bool create);
    // Removes the directories created for a member that failed, deepest
    // first; those another member now relies on are looked at again at the end.
    void rollBack(const std::vector<std::string> &created);
    void removeIfEmpty(const std::string &directory);
    bool inUse(const std::string &directory) const;
    // A PendingFile is done with its directory, committed or not.
    void release(const std::string &directoryPath, bool committed,
                 const std::vector<std::string> &createdDirectories);
    bool createdThisRun(const std::string &path) const { return created_.count(path) != 0; }

    std::mutex mutex_;
    UniqueFd root_;
    std::string cachedParentPath_;
    UniqueFd cachedParent_;
    std::set<std::string> created_;
    std::set<std::string> directoryMembers_;
    std::vector<std::string> createdForMember_;
    std::multiset<std::string> pendingFileDirectories_;
    std::vector<std::string> leftForTheEnd_;
    std::vector<std::pair<MemberPath, MemberTimes>> directoryTimes_;
    unsigned temporaryCounter_ = 0;
};
