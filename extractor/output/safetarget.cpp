// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "output/safetarget.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

Error alreadyExists()
{
    return Error{"already exists", EEXIST};
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return pieces;
        start = end + 1;
    }
}

bool startsAbsolute(const std::string &name)
{
    const bool driveLetter =
        name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
    return name[0] == '/' || name[0] == '\\' || driveLetter;
}

// The kernel reads a name only up to its first NUL byte: "..\0x" would be
// "..", whatever the checks made of the whole string.
bool holdsNul(const std::string &text)
{
    return text.find('\0') != std::string::npos;
}

// Archives made on Windows may use "\" as separator, and an extractor there
// would climb on "..\"; such a name is refused although "\" is an ordinary
// character here.
bool hasBackslashTraversal(const std::string &component)
{
    if (component.find('\\') == std::string::npos)
        return false;
    const auto pieces = split(component, '\\');
    return std::find(pieces.begin(), pieces.end(), "..") != pieces.end();
}

// The relative path from the folder `from` to `to`, both given by their
// names beneath the target: up to where they part, then down.
std::string pathFrom(const std::vector<std::string> &from, const std::vector<std::string> &to)
{
    const auto parting = std::mismatch(from.begin(), from.end(), to.begin(), to.end());
    std::string path;
    for (auto up = parting.first; up != from.end(); ++up)
        path += path.empty() ? ".." : "/..";
    for (auto down = parting.second; down != to.end(); ++down)
        path += (path.empty() ? "" : "/") + *down;
    return path.empty() ? "." : path;
}

int openDirectoryBeneath(int directoryFd, const char *name)
{
    return ::openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Opens a directory beneath the target in one call. The kernel resolves the
// path beneath it and refuses a symbolic link anywhere on the way, as opening
// one name at a time with O_NOFOLLOW does. Fails with ENOSYS before Linux 5.6.
int openBeneathInOneCall(int targetFd, const std::string &path)
{
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, targetFd, path.c_str(), &how, sizeof how));
}

bool identify(int fd, DirectoryNode &node)
{
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return false;
    node.identified = true;
    node.device = status.st_dev;
    node.inode = status.st_ino;
    return true;
}

bool isNode(int fd, const DirectoryNode &node)
{
    struct stat status;
    return node.identified && ::fstat(fd, &status) == 0 && status.st_dev == node.device &&
           status.st_ino == node.inode;
}

// The directory above `node`, whose descriptor is `fd`, reached through ".."
// so that climbing costs one call a level; nothing when it is not the
// directory this run knows there (something was moved meanwhile).
UniqueFd openParentOf(int fd, const DirectoryNode &node)
{
    UniqueFd parent(::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid() || node.parent == nullptr || !isNode(parent.get(), *node.parent))
        return UniqueFd();
    return parent;
}

UniqueFd duplicate(int fd)
{
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

// The modes handed to the kernel, which takes the umask away.
constexpr mode_t fileMode = 0666;
constexpr mode_t executableMode = 0777;
constexpr mode_t directoryMode = 0777;

} // namespace

std::string MemberPath::text() const
{
    std::string joined;
    for (const auto &name : components_) {
        if (!joined.empty())
            joined += '/';
        joined += name;
    }
    return joined;
}

namespace extractionRules {

Result<MemberPath> checkMemberPath(const std::string &name)
{
    if (name.empty())
        return Error{"empty name"};
    if (holdsNul(name))
        return Error{"a NUL byte in the name refused"};
    if (startsAbsolute(name))
        return Error{"absolute path refused"};
    MemberPath path;
    size_t length = 0;
    for (size_t start = 0; start <= name.size();) {
        const size_t end = std::min(name.find('/', start), name.size());
        std::string component = name.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..")
            return Error{"\"..\" in path refused"};
        if (hasBackslashTraversal(component))
            return Error{"\"..\\\" in path refused"};
        if (component.size() > longestComponent)
            return Error{"a name in the path longer than " + std::to_string(longestComponent) +
                         " bytes refused"};
        length += component.size() + (path.components_.empty() ? 0 : 1);
        if (length > longestPath)
            return Error{"a path longer than " + std::to_string(longestPath) + " bytes refused"};
        path.components_.push_back(std::move(component));
    }
    return path;
}

Result<LinkTarget> checkLinkTarget(const MemberPath &link, const std::string &target)
{
    if (target.empty())
        return Error{"symbolic link with an empty target refused"};
    if (holdsNul(target))
        return Error{"symbolic link with a NUL byte in its target refused"};
    if (target.size() > longestPath)
        return Error{"symbolic link with a target longer than " + std::to_string(longestPath) +
                     " bytes refused"};
    if (startsAbsolute(target))
        return Error{"symbolic link to an absolute path refused: " + target};
    const std::vector<std::string> &components = link.components();
    const std::vector<std::string> folder(components.begin(),
                                          components.end() - (link.isTarget() ? 0 : 1));
    std::vector<std::string> landing = folder;
    // How many of the last names landed in the target went down into.
    size_t wentDown = 0;
    bool climbsBack = false;
    for (const auto &piece : split(target, '/')) {
        if (piece.empty() || piece == ".")
            continue;
        if (hasBackslashTraversal(piece) || (piece == ".." && landing.empty()))
            return Error{"symbolic link leading outside the target refused: " + target};
        if (piece == "..") {
            climbsBack = climbsBack || wentDown > 0;
            wentDown -= wentDown > 0 ? 1 : 0;
            landing.pop_back();
        } else {
            landing.push_back(piece);
            ++wentDown;
        }
    }
    if (!climbsBack)
        return LinkTarget(target);
    return LinkTarget(pathFrom(folder, landing) + (target.back() == '/' ? "/" : ""));
}

} // namespace extractionRules

DirectoryNode &DirectoryNode::child(const std::string &childName)
{
    std::unique_ptr<DirectoryNode> &slot = children[childName];
    if (!slot) {
        slot = std::make_unique<DirectoryNode>();
        slot->parent = this;
        slot->name = childName;
    }
    return *slot;
}

CreatedDirectories::CreatedDirectories(CreatedDirectories &&other) noexcept
    : target_(other.target_), deepest_(other.deepest_), deepestFd_(std::move(other.deepestFd_)),
      count_(other.count_)
{
    other.count_ = 0;
}

CreatedDirectories::~CreatedDirectories()
{
    if (count_ > 0)
        target_->removeCreated(deepest_, std::move(deepestFd_), count_);
}

void CreatedDirectories::add(DirectoryNode &node, UniqueFd descriptor)
{
    deepest_ = &node;
    deepestFd_ = std::move(descriptor);
    ++count_;
}

PendingFile::PendingFile(SafeTarget &target, DirectoryNode &directoryNode, SharedFd directory,
                         dev_t device, std::string name, NewFile file,
                         CreatedDirectories createdDirectories)
    : target_(target), directoryNode_(directoryNode), directory_(std::move(directory)),
      device_(device), name_(std::move(name)), file_(std::move(file)),
      createdDirectories_(std::move(createdDirectories))
{
}

// The directories the file's member created are removed, if it was not
// committed, after this body, once the file no longer counts as being
// written.
PendingFile::~PendingFile()
{
    FileNaming::discard(file_, directory_->get());
    if (committed_)
        createdDirectories_.keep();
    target_.release(directoryNode_);
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
    RETURN_IF_ERROR(target_.naming_.name(file_, directory_->get(), device_, name_));
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
    auto target = std::unique_ptr<SafeTarget>(new SafeTarget(std::move(fd), created));
    if (!identify(target->root_->get(), target->rootNode_))
        return systemError("cannot look at the target directory " + path);
    return target;
}

SafeTarget::SafeTarget(UniqueFd root, bool createdThisRun)
    : root_(std::make_shared<const UniqueFd>(std::move(root)))
{
    rootNode_.createdThisRun = createdThisRun;
}

// Opens the first `count` names beneath the target one at a time, creating
// those missing; `reached` is the node of the last one opened.
Result<UniqueFd> SafeTarget::walk(const std::vector<std::string> &names, size_t count,
                                  CreatedDirectories &created, DirectoryNode *&reached)
{
    UniqueFd current;
    int at = root_->get();
    reached = &rootNode_;
    for (size_t i = 0; i < count; ++i) {
        DirectoryNode &node = reached->child(names[i]);
        const char *name = names[i].c_str();
        int fd = openDirectoryBeneath(at, name);
        bool made = false;
        if (fd < 0 && errno == ENOENT) {
            made = ::mkdirat(at, name, directoryMode) == 0;
            if (!made && errno != EEXIST)
                return refusal(at, errno, "cannot create directory " + node.name, node.name);
            fd = openDirectoryBeneath(at, name);
        }
        if (fd < 0) {
            if (errno == ELOOP || errno == ENOTDIR)
                return Error{node.name + " is a symbolic link or not a directory", errno};
            return systemError("cannot open directory " + node.name);
        }
        current.reset(fd);
        at = fd;
        reached = &node;
        if ((made || !node.identified) && !identify(fd, node))
            return systemError("cannot look at directory " + node.name);
        if (made) {
            node.createdThisRun = true;
            created.add(node, duplicate(fd));
        }
    }
    return current;
}

Result<SafeTarget::Parent> SafeTarget::openParent(const MemberPath &path,
                                                  CreatedDirectories &created)
{
    const size_t depth = path.components().size() - 1;
    if (depth == 0)
        return Parent{root_, &rootNode_};
    if (cachedParent_) {
        const DirectoryNode *node = cachedParentNode_;
        size_t level = depth;
        while (level > 0 && node->name == path.components()[level - 1]) {
            node = node->parent;
            --level;
        }
        if (level == 0 && node == &rootNode_)
            return Parent{cachedParent_, cachedParentNode_};
    }
    forgetCachedParent();
    if (DirectoryNode *known = knownDirectory(path.components(), depth)) {
        UniqueFd fd(openKnownInOneCall(path.components(), depth));
        if (fd.valid()) {
            cachedParent_ = std::make_shared<const UniqueFd>(std::move(fd));
            cachedParentNode_ = known;
            return Parent{cachedParent_, cachedParentNode_};
        }
    }
    DirectoryNode *reached = nullptr;
    Result<UniqueFd> parent = walk(path.components(), depth, created, reached);
    if (!parent)
        return parent.error();
    cachedParent_ = std::make_shared<const UniqueFd>(std::move(*parent));
    cachedParentNode_ = reached;
    return Parent{cachedParent_, cachedParentNode_};
}

// The node of the directory the first `count` names lead to, when this run
// has opened each of them before; else null.
DirectoryNode *SafeTarget::knownDirectory(const std::vector<std::string> &names, size_t count)
{
    DirectoryNode *node = &rootNode_;
    for (size_t i = 0; i < count; ++i) {
        const auto child = node->children.find(names[i]);
        if (child == node->children.end() || !child->second->identified)
            return nullptr;
        node = child->second.get();
    }
    return node;
}

// A directory that the walk has opened before is opened again in one call,
// not one a level: a member's parent changes with nearly every member of an
// archive whose folders take turns. Any failure, or a kernel without that
// call, leaves it to the walk, which says why.
int SafeTarget::openKnownInOneCall(const std::vector<std::string> &names, size_t count)
{
    if (oneCallUnavailable_)
        return -1;
    std::string path = names[0];
    for (size_t i = 1; i < count; ++i)
        path += "/" + names[i];
    const int fd = openBeneathInOneCall(root_->get(), path);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM))
        oneCallUnavailable_ = true;
    return fd;
}

void SafeTarget::forgetCachedParent()
{
    cachedParent_.reset();
    cachedParentNode_ = nullptr;
}

// Climbs from the deepest directory a member created through "..", one call
// a level, and stops at the first that must stay.
void SafeTarget::removeCreated(DirectoryNode *deepest, UniqueFd deepestFd, size_t count)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    forgetCachedParent();
    UniqueFd fd = std::move(deepestFd);
    DirectoryNode *node = deepest;
    for (; count > 0 && fd.valid(); --count, node = node->parent) {
        if (node->isMember || !node->createdThisRun)
            return;
        // A file still being written there has no name yet, so the directory
        // looks empty; whether it is left empty shows only at the end.
        if (node->filesBeingWritten > 0) {
            for (; count > 0; --count, node = node->parent)
                leaveForTheEnd(node);
            return;
        }
        UniqueFd parent = openParentOf(fd.get(), *node);
        if (!parent.valid() || ::unlinkat(parent.get(), node->name.c_str(), AT_REMOVEDIR) != 0)
            return;
        node->createdThisRun = false;
        node->identified = false;
        fd = std::move(parent);
    }
}

void SafeTarget::leaveForTheEnd(DirectoryNode *node)
{
    node->leftForTheEnd = true;
    markWork(node);
}

void SafeTarget::markWork(DirectoryNode *node)
{
    for (; node != nullptr && !node->workBeneath; node = node->parent)
        node->workBeneath = true;
}

void SafeTarget::release(DirectoryNode &directory)
{
    for (DirectoryNode *node = &directory; node != nullptr; node = node->parent)
        --node->filesBeingWritten;
}

Result<void> SafeTarget::makeDirectory(const MemberPath &path, const MemberTimes &times)
{
    if (path.isTarget())
        return {};
    // Declared before the lock, so that removing what it holds, which takes
    // the lock, comes after this function lets go of it.
    CreatedDirectories created(*this);
    const std::lock_guard<std::mutex> lock(mutex_);
    const Result<Parent> parent = openParent(path, created);
    if (!parent)
        return parent.error();
    DirectoryNode &node = parent->node->child(path.components().back());
    if (::mkdirat(parent->fd(), node.name.c_str(), directoryMode) == 0) {
        node.createdThisRun = true;
        node.identified = false;
    } else if (errno != EEXIST || !node.createdThisRun) {
        return errno == EEXIST ? alreadyExists()
                               : refusal(parent->fd(), errno, "cannot create directory");
    }
    node.isMember = true;
    if (times.known) {
        node.times = times;
        markWork(&node);
    }
    created.keep();
    return {};
}

Result<void> SafeTarget::makeSymlink(const MemberPath &path, const LinkTarget &target,
                                     const MemberTimes &times)
{
    if (path.isTarget())
        return Error{"a symbolic link cannot replace the target directory"};
    CreatedDirectories created(*this);
    const std::lock_guard<std::mutex> lock(mutex_);
    const Result<Parent> parent = openParent(path, created);
    if (!parent)
        return parent.error();
    const char *name = path.components().back().c_str();
    if (::symlinkat(target.text().c_str(), parent->fd(), name) != 0) {
        if (errno == EEXIST)
            return alreadyExists();
        // FAT and exFAT have none.
        if (errno == ENOSYS || errno == EOPNOTSUPP || errno == EPERM)
            return Error{"the target's file system has no symbolic links", errno};
        return refusal(parent->fd(), errno, "cannot create the link");
    }
    if (times.known) {
        // A link's own time is cosmetic; the link is there either way.
        const timespec both[2] = {times.accessed, times.modified};
        ::utimensat(parent->fd(), name, both, AT_SYMLINK_NOFOLLOW);
    }
    created.keep();
    return {};
}

Result<std::unique_ptr<PendingFile>> SafeTarget::startFile(const MemberPath &path, bool executable)
{
    if (path.isTarget())
        return Error{"a file cannot replace the target directory"};
    CreatedDirectories created(*this);
    const Result<Parent> parent = reserveParent(path, created);
    if (!parent)
        return parent.error();
    // The directory is reserved for this file; creating the file needs no
    // lock, so other threads go on placing their members meanwhile.
    Result<NewFile> data = createUnnamed(*parent, path.components().back(), executable);
    if (!data) {
        release(*parent->node);
        return data.error();
    }
    // The file shares the directory's descriptor: the cache may move on with
    // the next member while this file is still being written.
    return std::make_unique<PendingFile>(*this, *parent->node, parent->descriptor, parent->device,
                                         path.components().back(), std::move(*data),
                                         std::move(created));
}

// The directory a file member goes into, counted as having one more file
// being written there, so that no failing member removes it meanwhile.
Result<SafeTarget::Parent> SafeTarget::reserveParent(const MemberPath &path,
                                                     CreatedDirectories &created)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    Result<Parent> parent = openParent(path, created);
    if (!parent)
        return parent.error();
    parent->createdThisRun = parent->node->createdThisRun;
    parent->device = parent->node->device;
    for (DirectoryNode *node = parent->node; node != nullptr; node = node->parent)
        ++node->filesBeingWritten;
    return parent;
}

Result<NewFile> SafeTarget::createUnnamed(const Parent &parent, const std::string &name,
                                          bool executable)
{
    // Spares decompressing a member that cannot be placed. In a directory
    // this run made, only a member before could be in the way, and that
    // rarely; the final link is what guarantees that nothing is replaced.
    struct stat existing;
    if (!parent.createdThisRun &&
        ::fstatat(parent.fd(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return alreadyExists();
    return naming_.create(parent.fd(), parent.device, executable ? executableMode : fileMode);
}

Error SafeTarget::refusal(int directory, int error, const std::string &failure,
                          const std::string &folder)
{
    const bool aboutTheName = error == EINVAL || error == ENOENT || error == EPERM ||
                              error == EILSEQ || error == ENAMETOOLONG;
    if (!aboutTheName || !naming_.takesOwnDirectoryName(directory))
        return systemError(failure, error);
    if (folder.empty())
        return Error{"the target's file system does not accept this name", error};
    return Error{"the target's file system does not accept the name of folder " + folder, error};
}

Result<uint64_t> SafeTarget::room() const
{
    struct statvfs status;
    if (::fstatvfs(root_->get(), &status) != 0)
        return systemError("cannot tell the free space");
    return static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
}

// Goes through the directories that wait for the end, children before their
// parent, holding one descriptor at a time: down by name, back up through
// "..". Takes node's descriptor and gives back its parent's, or nothing when
// the way back is lost.
UniqueFd SafeTarget::settle(DirectoryNode &node, UniqueFd fd)
{
    for (auto &[name, child] : node.children) {
        if (!child->workBeneath)
            continue;
        UniqueFd childFd(openDirectoryBeneath(fd.get(), name.c_str()));
        if (!childFd.valid() || (child->identified && !isNode(childFd.get(), *child)))
            continue;
        fd = settle(*child, std::move(childFd));
        if (!fd.valid())
            return fd;
    }
    if (node.times.known && node.createdThisRun) {
        const timespec both[2] = {node.times.accessed, node.times.modified};
        // The directory is already reported as written; its time is cosmetic.
        ::futimens(fd.get(), both);
    }
    if (node.parent == nullptr)
        return fd;
    UniqueFd parent = openParentOf(fd.get(), node);
    fd.reset();
    if (parent.valid() && node.leftForTheEnd && !node.isMember && node.createdThisRun &&
        ::unlinkat(parent.get(), node.name.c_str(), AT_REMOVEDIR) == 0)
        node.createdThisRun = false;
    return parent;
}

void SafeTarget::finish()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    forgetCachedParent();
    if (rootNode_.workBeneath)
        settle(rootNode_, duplicate(root_->get()));
}
